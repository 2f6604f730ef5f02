// The emulated file calls, part two: SetFileAttributesW, DeleteFileW and
// RemoveDirectoryW over the real POSIX file system, with Windows' rules:
// read-only is "no write permission for the owner", and a read-only file or
// folder cannot be removed; DeleteFileW deletes no folder, RemoveDirectoryW
// only an empty one, never a drive's own or one held open without sharing
// its deletion; a link goes as the link, never its target (but for what
// FollowLinksAsWineDoes asks). Left out: every attribute but read-only.
#include "Files.h"
#include "Platform.h"

#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace emulated {

DWORD AttributesOf(const struct stat& entry, const char* name, bool leadsToFolder) {
    const bool link = S_ISLNK(entry.st_mode);
    const bool folder = link ? leadsToFolder : S_ISDIR(entry.st_mode);
    DWORD attributes = (folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE) |
                       (link ? FILE_ATTRIBUTE_REPARSE_POINT : 0);
    if (!link && (entry.st_mode & S_IWUSR) == 0) {
        attributes |= FILE_ATTRIBUTE_READONLY;
    }
    if (name[0] == '.' && std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0) {
        attributes |= FILE_ATTRIBUTE_HIDDEN;
    }
    return attributes;
}

// EACCES, EPERM, EROFS, EISDIR and the rest deny access.
DWORD ErrorFromErrno(int error) {
    return error == ENOENT                         ? ERROR_FILE_NOT_FOUND
           : error == ENOTDIR                      ? ERROR_PATH_NOT_FOUND
           : error == ENOTEMPTY || error == EEXIST ? ERROR_DIR_NOT_EMPTY
           : error == EBUSY || error == ETXTBSY    ? ERROR_SHARING_VIOLATION
           : error == ENAMETOOLONG                 ? errorFilenameTooLong
           : error == ENOMEM                       ? ERROR_NOT_ENOUGH_MEMORY
                                                   : ERROR_ACCESS_DENIED;
}

namespace {

struct RemovalFault {
    std::string linuxPath;
    FaultKind kind;
};
std::vector<RemovalFault> removalFaults;

// lstat of a mapped path, in any case (`linuxPath` then holds the spelling
// on disk): 0, or the status of the failure. An entry to remove that
// FailRemovalOf named fails as it asked.
DWORD LookUp(std::string& linuxPath, Entry& located, struct stat& status, bool toRemove) {
    bool found = InAnyCase(linuxPath, [&](Entry entry) {
        located = entry;
        return ::fstatat(entry.folder, entry.name, &status, AT_SYMLINK_NOFOLLOW) == 0;
    });
    DWORD error = found ? 0 : ErrorFromErrno(errno);
    for (const RemovalFault& fault : removalFaults) {
        if (error == 0 && toRemove && fault.linuxPath == linuxPath) {
            error = static_cast<DWORD>(StatusOfFault(fault.kind, fileFaultStatuses));
        }
    }
    return error;
}

// 0, or the status of the failed Linux call that answered `result`.
DWORD Checked(int result) {
    return result == 0 ? 0 : ErrorFromErrno(errno);
}

// The changes of an entry found at its mapped path: 0, or the status of the
// failure.

DWORD SetAttributesAt(const Entry& located, const struct stat& entry, DWORD attributes) {
    bool readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (S_ISLNK(entry.st_mode)) {
        // chmod would reach a link's target. A link has no permissions of
        // its own, so it is never read-only and cannot be made so.
        return readOnly ? ERROR_ACCESS_DENIED : 0;
    }
    mode_t mode =
        readOnly ? (entry.st_mode & ~static_cast<mode_t>(0222)) : (entry.st_mode | S_IWUSR);
    return Checked(::fchmodat(located.folder, located.name, mode & 07777, 0));
}

DWORD DeleteAt(const std::string&, const Entry& located, const struct stat& entry) {
    bool isLink = S_ISLNK(entry.st_mode);
    if (S_ISDIR(entry.st_mode) || (isLink && LeadsToFolder(located.folder, located.name)) ||
        (!isLink && (entry.st_mode & S_IWUSR) == 0)) {
        return ERROR_ACCESS_DENIED; // a folder, a link that stands for one, or read-only
    }
    // unlink removes a link itself, never its target.
    return Checked(::unlinkat(located.folder, located.name, 0));
}

DWORD RemoveFolderAt(const std::string& linuxPath, const Entry& located, const struct stat& entry) {
    if (DriveFolderLength(linuxPath) == linuxPath.size()) {
        return ERROR_ACCESS_DENIED; // never a drive's own folder
    }
    if (HeldWithoutDeleteSharing(linuxPath)) {
        return ERROR_SHARING_VIOLATION; // open elsewhere, and not to be deleted
    }
    if (S_ISLNK(entry.st_mode)) {
        // A link to a folder goes as the link; one to a file is no folder.
        if (!LeadsToFolder(located.folder, located.name)) {
            return ERROR_DIRECTORY;
        }
        if (!linksFollowedAsWineDoes) {
            return Checked(::unlinkat(located.folder, located.name, 0));
        }
        // Wine removes the folder the link leads to, and leaves the link.
        char* target = ::realpath(linuxPath.c_str(), nullptr);
        DWORD status = target != nullptr ? Checked(::rmdir(target)) : ErrorFromErrno(errno);
        std::free(target);
        return status;
    }
    if (!S_ISDIR(entry.st_mode)) {
        return ERROR_DIRECTORY;
    }
    if ((entry.st_mode & S_IWUSR) == 0) {
        return ERROR_ACCESS_DENIED; // read-only
    }
    return Checked(::unlinkat(located.folder, located.name, AT_REMOVEDIR));
}

// A call that changes the entry at `path`, once LookUp has found it:
// `change` takes its path, place and lstat record. `more` follows the path in
// the trace's arguments.
template <typename Change>
BOOL ChangeEntry(const char* name, LPCWSTR path, const std::string& more, bool removal,
                 Change change) {
    Operation operation(name);
    std::string linuxPath;
    Entry located{};
    struct stat entry;
    DWORD status = operation.Faulted() ? operation.FaultStatus(fileFaultStatuses)
                                       : MapFilePath(path, linuxPath);
    if (status == 0 && (status = LookUp(linuxPath, located, entry, removal)) == 0) {
        status = change(linuxPath, located, entry);
    }
    if (operation.Tracing()) {
        operation.Trace(Quoted(path) + more,
                        status == 0 ? "TRUE" : "FALSE (" + std::to_string(status) + ")");
    }
    return status == 0 ? TRUE : FALSE;
}

} // namespace

void ResetFiles() {
    EndAllListings();
    CloseAllHandles();
    FollowLinksAsWineDoes(false);
    removalFaults.clear();
}

bool FailRemovalOf(const char* windowsPath, FaultKind kind) {
    std::string linuxPath;
    if (MapFilePath(windowsPath, linuxPath) != 0) {
        return false;
    }
    removalFaults.push_back(RemovalFault{linuxPath, kind});
    return true;
}

} // namespace emulated

namespace platform {

using namespace emulated;

BOOL SetFileAttributesW(LPCWSTR path, DWORD attributes) {
    return ChangeEntry(
        "SetFileAttributesW", path, ", " + Hex(attributes), false,
        [attributes](const std::string&, const Entry& located, const struct stat& entry) {
            return SetAttributesAt(located, entry, attributes);
        });
}

BOOL DeleteFileW(LPCWSTR path) {
    return ChangeEntry("DeleteFileW", path, std::string(), true, DeleteAt);
}

BOOL RemoveDirectoryW(LPCWSTR path) {
    return ChangeEntry("RemoveDirectoryW", path, std::string(), true, RemoveFolderAt);
}

} // namespace platform
