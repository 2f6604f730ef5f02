// The emulated file system, part two: attributes and removal
// (GetFileAttributesA, SetFileAttributesA, DeleteFileA, RemoveDirectoryA)
// over the real POSIX file system, with Windows' rules rather than Linux's:
//  - read-only is "no write permission for the owner"; a read-only file
//    cannot be deleted and a read-only folder cannot be removed;
//  - DeleteFileA never deletes a folder, and deletes a link as the link;
//  - RemoveDirectoryA removes only an empty folder, or a link to a folder as
//    the link, and never a drive's own folder;
//  - nothing here follows a link into its target.
// A test can make the removal of one path fail, as it fails on Windows for a
// file another program holds open.
#include "Backend.h"
#include "FileSystem.h"
#include "Operations.h"
#include "PathMapping.h"
#include "Platform.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace emulated {
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

// An entry as the *at calls take it: the open folder of the listing that is
// walking its parent, if one is, and the name in it; else the whole path.
struct Entry {
    int folder;
    const char* name;
};

Entry Locate(const std::string& linuxPath) {
    std::size_t slash = linuxPath.rfind('/');
    if (slash != std::string::npos && slash > 0) {
        int folder = ListedFolder(linuxPath.data(), slash);
        if (folder >= 0) {
            return Entry{folder, linuxPath.c_str() + slash + 1};
        }
    }
    return Entry{AT_FDCWD, linuxPath.c_str()};
}

bool LeadsToFolder(const Entry& entry) {
    struct stat target;
    return ::fstatat(entry.folder, entry.name, &target, 0) == 0 && S_ISDIR(target.st_mode);
}

// lstat, with the failure put as Windows puts it: a missing file, or a
// missing folder on the way to it.
bool LookAt(const Entry& entry, struct stat& status) {
    if (::fstatat(entry.folder, entry.name, &status, AT_SYMLINK_NOFOLLOW) == 0) {
        return true;
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

void Trace(const char* name, const std::string& arguments, BOOL result) {
    if (TraceEnabled()) {
        TraceOperation(name, arguments,
                       result ? "TRUE" : "FALSE (" + std::to_string(LastFileError()) + ")");
    }
}

} // namespace

void ResetFiles() {
    EndAllListings();
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
    if (!MapPath(windowsPath, linuxPath)) {
        return false;
    }
    removalFaults.push_back(RemovalFault{linuxPath, kind});
    return true;
}

} // namespace emulated

namespace platform {

DWORD GetFileAttributesA(LPCSTR path) {
    using namespace emulated;
    FaultKind fault = BeginOperation("GetFileAttributesA");
    DWORD result = INVALID_FILE_ATTRIBUTES;
    std::string linuxPath;
    struct stat entry;
    if (fault != FaultKind::None) {
        SetLastFileError(ErrorFromFault(fault));
    } else if (MapFilePath(path, linuxPath) && LookAt(Locate(linuxPath), entry)) {
        result = AttributesOf(entry, LastComponent(linuxPath),
                              S_ISLNK(entry.st_mode) && LeadsToFolder(Locate(linuxPath)));
    }
    if (TraceEnabled()) {
        TraceOperation("GetFileAttributesA", Quoted(path), Hex(result));
    }
    return result;
}

BOOL SetFileAttributesA(LPCSTR path, DWORD attributes) {
    using namespace emulated;
    FaultKind fault = BeginOperation("SetFileAttributesA");
    BOOL result = FALSE;
    std::string linuxPath;
    struct stat entry;
    bool readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (fault != FaultKind::None) {
        Fail(ErrorFromFault(fault));
    } else if (MapFilePath(path, linuxPath) && LookAt(Locate(linuxPath), entry)) {
        if (S_ISLNK(entry.st_mode)) {
            // chmod would reach the target. A link has no permissions of
            // its own, so it is never read-only and cannot be made so.
            result = readOnly ? Fail(ERROR_ACCESS_DENIED) : TRUE;
        } else {
            mode_t mode =
                readOnly ? (entry.st_mode & ~static_cast<mode_t>(0222)) : (entry.st_mode | S_IWUSR);
            result =
                ::chmod(linuxPath.c_str(), mode & 07777) == 0 ? TRUE : Fail(ErrorFromErrno(errno));
        }
    }
    Trace("SetFileAttributesA", Quoted(path) + ", " + Hex(attributes), result);
    return result;
}

BOOL DeleteFileA(LPCSTR path) {
    using namespace emulated;
    FaultKind fault = BeginOperation("DeleteFileA");
    BOOL result = FALSE;
    std::string linuxPath;
    struct stat entry;
    if (fault != FaultKind::None) {
        Fail(ErrorFromFault(fault));
    } else if (MapFilePath(path, linuxPath) && LookAt(Locate(linuxPath), entry)) {
        Entry located = Locate(linuxPath);
        FaultKind held = RemovalFaultFor(linuxPath);
        if (held != FaultKind::None) {
            Fail(ErrorFromFault(held));
        } else if (S_ISDIR(entry.st_mode) || (S_ISLNK(entry.st_mode) && LeadsToFolder(located))) {
            Fail(ERROR_ACCESS_DENIED); // a folder, or a link that stands for one
        } else if (!S_ISLNK(entry.st_mode) && (entry.st_mode & S_IWUSR) == 0) {
            Fail(ERROR_ACCESS_DENIED); // read-only
        } else {
            // unlink removes a link itself, never its target.
            result = ::unlinkat(located.folder, located.name, 0) == 0 ? TRUE
                                                                      : Fail(ErrorFromErrno(errno));
        }
    }
    Trace("DeleteFileA", Quoted(path), result);
    return result;
}

BOOL RemoveDirectoryA(LPCSTR path) {
    using namespace emulated;
    FaultKind fault = BeginOperation("RemoveDirectoryA");
    BOOL result = FALSE;
    std::string linuxPath;
    struct stat entry;
    bool driveRoot = false;
    if (fault != FaultKind::None) {
        Fail(ErrorFromFault(fault));
    } else if (MapFilePath(path, linuxPath, &driveRoot) && LookAt(Locate(linuxPath), entry)) {
        Entry located = Locate(linuxPath);
        FaultKind held = RemovalFaultFor(linuxPath);
        if (held != FaultKind::None) {
            Fail(ErrorFromFault(held));
        } else if (driveRoot) {
            Fail(ERROR_ACCESS_DENIED);
        } else if (S_ISLNK(entry.st_mode)) {
            // A link to a folder goes as the link; one to a file is no folder.
            result = !LeadsToFolder(located) ? Fail(ERROR_DIRECTORY)
                     : ::unlinkat(located.folder, located.name, 0) == 0
                         ? TRUE
                         : Fail(ErrorFromErrno(errno));
        } else if (!S_ISDIR(entry.st_mode)) {
            Fail(ERROR_DIRECTORY);
        } else if ((entry.st_mode & S_IWUSR) == 0) {
            Fail(ERROR_ACCESS_DENIED); // read-only
        } else {
            result = ::unlinkat(located.folder, located.name, AT_REMOVEDIR) == 0
                         ? TRUE
                         : Fail(ErrorFromErrno(errno));
        }
    }
    Trace("RemoveDirectoryA", Quoted(path), result);
    return result;
}

} // namespace platform
