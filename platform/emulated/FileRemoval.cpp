// The emulated file system, part two: attributes and removal
// (GetFileAttributes, SetFileAttributes, DeleteFile, RemoveDirectory, each
// in its ANSI and its wide form) over the real POSIX file system, with
// Windows' rules rather than Linux's:
//  - read-only is "no write permission for the owner"; a read-only file
//    cannot be deleted and a read-only folder cannot be removed;
//  - DeleteFileA never deletes a folder, and deletes a link as the link;
//  - RemoveDirectoryA removes only an empty folder, or a link to a folder as
//    the link, and never a drive's own folder;
//  - a folder another handle holds open without sharing its deletion cannot
//    be removed;
//  - nothing here follows a link into its target.
// A test can make the removal of one path fail, as it fails on Windows for a
// file another program holds open.
#include "Operations.h"
#include "FileNames.h"
#include "FileSystem.h"
#include "PathMapping.h"
#include "Platform.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace emulated {

Entry Locate(const std::string& linuxPath) {
    std::size_t slash = linuxPath.rfind('/');
    if (slash != std::string::npos && slash > 0) {
        int folder = ListedFolder(linuxPath.data(), slash);
        if (folder < 0) {
            folder = HeldFolder(linuxPath.data(), slash);
        }
        if (folder >= 0) {
            return Entry{folder, linuxPath.c_str() + slash + 1};
        }
    }
    return Entry{AT_FDCWD, linuxPath.c_str()};
}

namespace {

struct RemovalFault {
    std::string linuxPath;
    FaultKind kind;
};
std::vector<RemovalFault> removalFaults;

const char* LastComponent(const std::string& linuxPath) {
    std::size_t slash = linuxPath.rfind('/');
    return linuxPath.c_str() + (slash == std::string::npos ? 0 : slash + 1);
}

bool LeadsToFolder(const Entry& entry) {
    struct stat target;
    return ::fstatat(entry.folder, entry.name, &target, 0) == 0 && S_ISDIR(target.st_mode);
}

// lstat of a mapped path, found without regard to case when its exact
// spelling is not there (`linuxPath` then holds the spelling on disk), with
// the failure put as Windows puts it: a missing file, or a missing folder on
// the way to it.
bool LookUp(std::string& linuxPath, Entry& located, struct stat& status) {
    located = Locate(linuxPath);
    if (::fstatat(located.folder, located.name, &status, AT_SYMLINK_NOFOLLOW) == 0) {
        return true;
    }
    if ((errno == ENOENT || errno == ENOTDIR) && FindCase(linuxPath)) {
        located = Locate(linuxPath);
        if (::fstatat(located.folder, located.name, &status, AT_SYMLINK_NOFOLLOW) == 0) {
            return true;
        }
    }
    SetLastFileError(errno == ENOENT    ? ERROR_FILE_NOT_FOUND
                     : errno == ENOTDIR ? ERROR_PATH_NOT_FOUND
                                        : ErrorFromErrno(errno));
    return false;
}

BOOL Fail(DWORD error) {
    SetLastFileError(error);
    return FALSE;
}

// The operations on a mapped path, shared by the ANSI and the wide calls.

DWORD AttributesAt(std::string linuxPath) {
    Entry located{};
    struct stat entry;
    if (!LookUp(linuxPath, located, entry)) {
        return INVALID_FILE_ATTRIBUTES;
    }
    return AttributesOf(entry, LastComponent(linuxPath),
                        S_ISLNK(entry.st_mode) && LeadsToFolder(located));
}

BOOL SetAttributesAt(std::string linuxPath, DWORD attributes) {
    Entry located{};
    struct stat entry;
    ForgetListedStatus();
    if (!LookUp(linuxPath, located, entry)) {
        return FALSE;
    }
    bool readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (S_ISLNK(entry.st_mode)) {
        // chmod would reach the target. A link has no permissions of its
        // own, so it is never read-only and cannot be made so.
        return readOnly ? Fail(ERROR_ACCESS_DENIED) : TRUE;
    }
    mode_t mode =
        readOnly ? (entry.st_mode & ~static_cast<mode_t>(0222)) : (entry.st_mode | S_IWUSR);
    return ::fchmodat(located.folder, located.name, mode & 07777, 0) == 0
               ? TRUE
               : Fail(ErrorFromErrno(errno));
}

BOOL DeleteAt(std::string linuxPath) {
    Entry located = Locate(linuxPath);
    struct stat entry;
    // The entry the walk's listing has just described needs no second look:
    // unlink never removes a folder, so a folder put in its place since
    // cannot be lost by it.
    bool listed =
        located.folder != AT_FDCWD && TakeListedStatus(located.folder, located.name, entry);
    if (!listed && !LookUp(linuxPath, located, entry)) {
        return FALSE;
    }
    FaultKind held = RemovalFaultFor(linuxPath);
    if (held != FaultKind::None) {
        return Fail(ErrorFromFault(held));
    }
    if (S_ISDIR(entry.st_mode) || (S_ISLNK(entry.st_mode) && LeadsToFolder(located))) {
        return Fail(ERROR_ACCESS_DENIED); // a folder, or a link that stands for one
    }
    if (!S_ISLNK(entry.st_mode) && (entry.st_mode & S_IWUSR) == 0) {
        return Fail(ERROR_ACCESS_DENIED); // read-only
    }
    // unlink removes a link itself, never its target.
    return ::unlinkat(located.folder, located.name, 0) == 0 ? TRUE : Fail(ErrorFromErrno(errno));
}

BOOL RemoveFolderAt(std::string linuxPath, bool driveRoot) {
    Entry located{};
    struct stat entry;
    if (!LookUp(linuxPath, located, entry)) {
        return FALSE;
    }
    FaultKind held = RemovalFaultFor(linuxPath);
    if (held != FaultKind::None) {
        return Fail(ErrorFromFault(held));
    }
    if (driveRoot) {
        return Fail(ERROR_ACCESS_DENIED);
    }
    if (HeldWithoutDeleteSharing(linuxPath)) {
        return Fail(ERROR_SHARING_VIOLATION); // open elsewhere, and not to be deleted
    }
    if (S_ISLNK(entry.st_mode)) {
        // A link to a folder goes as the link; one to a file is no folder.
        if (!LeadsToFolder(located)) {
            return Fail(ERROR_DIRECTORY);
        }
        if (LinksFollowedAsWineDoes()) {
            // Wine removes the folder the link leads to, and leaves the link.
            char* target = ::realpath(linuxPath.c_str(), nullptr);
            int removed = target != nullptr ? ::rmdir(target) : -1;
            int error = errno;
            std::free(target);
            return removed == 0 ? TRUE : Fail(ErrorFromErrno(error));
        }
        return ::unlinkat(located.folder, located.name, 0) == 0 ? TRUE
                                                                : Fail(ErrorFromErrno(errno));
    }
    if (!S_ISDIR(entry.st_mode)) {
        return Fail(ERROR_DIRECTORY);
    }
    if ((entry.st_mode & S_IWUSR) == 0) {
        return Fail(ERROR_ACCESS_DENIED); // read-only
    }
    return ::unlinkat(located.folder, located.name, AT_REMOVEDIR) == 0
               ? TRUE
               : Fail(ErrorFromErrno(errno));
}

// The calls, each for an ANSI or a wide path.

template <typename Char> DWORD GetAttributes(const char* name, const Char* path) {
    FileOperation operation(name);
    DWORD result = INVALID_FILE_ATTRIBUTES;
    std::string linuxPath;
    if (!operation.Faulted() && MapFilePath(path, linuxPath)) {
        result = AttributesAt(std::move(linuxPath));
    }
    if (operation.Tracing()) {
        operation.Trace(Quoted(path), Hex(result));
    }
    return result;
}

// A call that changes the entry at `path`: `change` takes the mapped path
// and whether it names a drive's own folder, and answers TRUE, or FALSE with
// the last error set. `more` follows the path in the trace's arguments.
template <typename Char, typename Change>
BOOL ChangeEntry(const char* name, const Char* path, const std::string& more, Change change) {
    FileOperation operation(name);
    BOOL result = FALSE;
    std::string linuxPath;
    bool driveRoot = false;
    if (!operation.Faulted() && MapFilePath(path, linuxPath, &driveRoot)) {
        result = change(std::move(linuxPath), driveRoot);
    }
    if (operation.Tracing()) {
        operation.Trace(Quoted(path) + more,
                        result ? "TRUE" : "FALSE (" + std::to_string(LastFileError()) + ")");
    }
    return result;
}

template <typename Char> BOOL SetAttributes(const char* name, const Char* path, DWORD attributes) {
    return ChangeEntry(name, path, ", " + Hex(attributes),
                       [attributes](std::string linuxPath, bool) {
                           return SetAttributesAt(std::move(linuxPath), attributes);
                       });
}

template <typename Char> BOOL Delete(const char* name, const Char* path) {
    return ChangeEntry(name, path, std::string(),
                       [](std::string linuxPath, bool) { return DeleteAt(std::move(linuxPath)); });
}

template <typename Char> BOOL RemoveFolder(const char* name, const Char* path) {
    return ChangeEntry(name, path, std::string(), RemoveFolderAt);
}

} // namespace

void ResetFiles() {
    EndAllListings();
    CloseAllHeldHandles();
    FollowLinksAsWineDoes(false);
    removalFaults.clear();
    SetLastFileError(ERROR_SUCCESS);
}

FaultKind RemovalFaultFor(const std::string& linuxPath) {
    for (const RemovalFault& fault : removalFaults) {
        if (fault.linuxPath == linuxPath) {
            return fault.kind;
        }
    }
    return FaultKind::None;
}

bool FailRemovalOf(const char* windowsPath, FaultKind kind) {
    std::string linuxPath;
    if (windowsPath == nullptr ||
        !MapPath(Utf8FromAnsi(windowsPath, std::strlen(windowsPath)).c_str(), linuxPath)) {
        return false;
    }
    removalFaults.push_back(RemovalFault{linuxPath, kind});
    return true;
}

} // namespace emulated

namespace platform {

DWORD GetFileAttributesA(LPCSTR path) {
    return emulated::GetAttributes("GetFileAttributesA", path);
}

BOOL SetFileAttributesA(LPCSTR path, DWORD attributes) {
    return emulated::SetAttributes("SetFileAttributesA", path, attributes);
}

BOOL SetFileAttributesW(LPCWSTR path, DWORD attributes) {
    return emulated::SetAttributes("SetFileAttributesW", path, attributes);
}

BOOL DeleteFileA(LPCSTR path) {
    return emulated::Delete("DeleteFileA", path);
}

BOOL DeleteFileW(LPCWSTR path) {
    return emulated::Delete("DeleteFileW", path);
}

BOOL RemoveDirectoryA(LPCSTR path) {
    return emulated::RemoveFolder("RemoveDirectoryA", path);
}

BOOL RemoveDirectoryW(LPCWSTR path) {
    return emulated::RemoveFolder("RemoveDirectoryW", path);
}

} // namespace platform
