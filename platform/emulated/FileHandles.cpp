// The emulated file calls, part three: handles. CreateFileW opens an existing
// file or folder with backup semantics and GetFileInformationByHandle tells
// of it; CreateFileA opens an existing regular file to read, ReadFile reads
// it and SetFilePointer rewinds it; CloseHandle closes either.
//
// A handle holds a Linux descriptor of the entry itself, opened relative to
// the folder held above it where there is one. With
// FILE_FLAG_OPEN_REPARSE_POINT a link is opened as the link (O_PATH |
// O_NOFOLLOW) and never followed. Paths below a held folder are resolved
// through its descriptor, and a folder held without sharing its deletion
// cannot be removed: both are what Windows promises to a process that holds
// a folder open. POSIX opens never lock, so other readers and writers are
// never shut out, as the share mode the module passes asks.
//
// Left out, and refused: creating or writing files, and every move within a
// file but the rewind to its start (said on standard error); of the
// information about a handle, all but the attributes, the volume serial
// number and the file index (zero); the status a failed call leaves for
// GetLastError (the trace shows it).
#include "Files.h"
#include "Operations.h"
#include "Platform.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <unistd.h>
#include <utility>

namespace emulated {
namespace {

// Win32 statuses these calls report beyond those PlatformTypes.h names.
const DWORD errorTooManyOpenFiles = 4;
const DWORD errorLockViolation = 33;

// Reading and moving within a file in use meet its lock; a close of a
// handle in use is refused as a bad handle.
const FaultStatuses lockedFaultStatuses = {ERROR_ACCESS_DENIED, errorLockViolation,
                                           ERROR_FILE_NOT_FOUND, ERROR_NOT_ENOUGH_MEMORY};
const FaultStatuses closeFaultStatuses = {ERROR_ACCESS_DENIED, ERROR_INVALID_HANDLE,
                                          ERROR_FILE_NOT_FOUND, ERROR_NOT_ENOUGH_MEMORY};

// Only what the module asks for is emulated: an existing entry opened to
// read its attributes or list it, or an existing file opened to read it.
const DWORD supportedHoldAccess = GENERIC_READ | FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES;

struct Open {
    int fd;
    std::string linuxPath;
    DWORD shareMode;
    bool folder; // paths below it are resolved through it
};
std::map<uintptr_t, Open> handles; // innermost last
uintptr_t nextHandle = 0x20000;
// Wine's way with a Unix symbolic link: opened as its target even when the
// caller asks for the link itself.
bool wineLinks = false;

HANDLE Keep(int fd, std::string linuxPath, DWORD shareMode) {
    struct stat entry;
    bool folder = ::fstat(fd, &entry) == 0 && S_ISDIR(entry.st_mode);
    uintptr_t handle = nextHandle;
    nextHandle += 4;
    handles.emplace(handle, Open{fd, std::move(linuxPath), shareMode, folder});
    return reinterpret_cast<HANDLE>(handle);
}

Open* Find(HANDLE handle) {
    auto open = handles.find(reinterpret_cast<uintptr_t>(handle));
    return open != handles.end() ? &open->second : nullptr;
}

// Opens the entry itself: a link, where links are not to be followed, as
// the link.
int OpenEntry(std::string& linuxPath, bool followLinks) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        Entry located = Locate(linuxPath);
        int flags = O_RDONLY | O_CLOEXEC | (followLinks ? 0 : O_NOFOLLOW);
        int fd = ::openat(located.folder, located.name, flags);
        if (fd < 0 && errno == ELOOP && !followLinks) {
            fd = ::openat(located.folder, located.name, O_PATH | O_NOFOLLOW | O_CLOEXEC);
        }
        if (fd >= 0 || attempt == 1 || errno != ENOENT || !FindCase(linuxPath)) {
            return fd;
        }
    }
    return -1;
}

// Opens an existing entry with backup semantics and holds it: 0 with
// `handle` set, or the status of the failure.
DWORD Hold(LPCWSTR path, DWORD access, DWORD shareMode, DWORD disposition, DWORD flags,
           HANDLE& handle) {
    if (disposition != OPEN_EXISTING || (access & ~supportedHoldAccess) != 0 ||
        (flags & FILE_FLAG_BACKUP_SEMANTICS) == 0) {
        return ERROR_NOT_SUPPORTED;
    }
    std::string linuxPath;
    DWORD status = MapFilePath(path, linuxPath);
    if (status != 0) {
        return status;
    }
    int fd = OpenEntry(linuxPath, (flags & FILE_FLAG_OPEN_REPARSE_POINT) == 0 || wineLinks);
    if (fd < 0) {
        return ErrorFromErrno(errno);
    }
    handle = Keep(fd, std::move(linuxPath), shareMode);
    return 0;
}

// The status for why open(2) failed on `path`.
DWORD OpenError(int error, const std::string& path) {
    if (error == ENOENT) {
        // Windows tells a missing file from a missing folder on its way.
        std::size_t slash = path.rfind('/');
        struct stat folder;
        bool folderThere = slash == std::string::npos || slash == 0 ||
                           ::stat(path.substr(0, slash).c_str(), &folder) == 0;
        return folderThere ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    }
    return error == ELOOP                       ? ERROR_PATH_NOT_FOUND
           : error == EMFILE || error == ENFILE ? errorTooManyOpenFiles
                                                : ErrorFromErrno(error);
}

// Opens an existing regular file to read it: 0 with `handle` set, or the
// status of the failure.
DWORD OpenToRead(LPCSTR path, DWORD access, DWORD shareMode, DWORD disposition, HANDLE& handle) {
    if (disposition != OPEN_EXISTING || (access & ~GENERIC_READ) != 0) {
        return ERROR_NOT_SUPPORTED;
    }
    std::string linuxPath;
    DWORD status = MapFilePath(path, linuxPath);
    if (status != 0) {
        return status;
    }
    // Only a regular file is opened: a FIFO would block until a writer came,
    // and opening a device may act on it. A folder opens on Linux, but not
    // without backup semantics on Windows.
    struct stat info;
    if (::stat(linuxPath.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        return ERROR_ACCESS_DENIED;
    }
    int fd = ::open(linuxPath.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return OpenError(errno, linuxPath);
    }
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return ERROR_ACCESS_DENIED;
    }
    handle = Keep(fd, std::move(linuxPath), shareMode);
    return 0;
}

// Fills `information` for a handle; false when there is none to tell of.
bool Inform(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information) {
    Open* open = Find(file);
    struct stat entry;
    if (open == nullptr || information == nullptr ||
        ::fstatat(open->fd, "", &entry, AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW) != 0) {
        return false;
    }
    bool leadsToFolder = S_ISLNK(entry.st_mode) && LeadsToFolder(AT_FDCWD, open->linuxPath.c_str());
    std::memset(information, 0, sizeof *information);
    information->dwFileAttributes =
        AttributesOf(entry, LastComponent(open->linuxPath), leadsToFolder);
    information->dwVolumeSerialNumber = static_cast<DWORD>(entry.st_dev);
    information->nFileIndexHigh = static_cast<DWORD>(static_cast<uint64_t>(entry.st_ino) >> 32);
    information->nFileIndexLow = static_cast<DWORD>(entry.st_ino);
    return true;
}

std::string Shown(HANDLE handle) {
    return Hex(reinterpret_cast<uintptr_t>(handle));
}

// TRUE, or FALSE with the status: a call's result as the trace shows it.
std::string Answered(DWORD error) {
    return error == 0 ? "TRUE" : "FALSE (error " + std::to_string(error) + ")";
}

} // namespace

Entry Locate(const std::string& linuxPath) {
    std::size_t slash = linuxPath.rfind('/');
    int folder = slash != std::string::npos && slash > 0 ? HeldFolder(linuxPath.data(), slash) : -1;
    return folder >= 0 ? Entry{folder, linuxPath.c_str() + slash + 1}
                       : Entry{AT_FDCWD, linuxPath.c_str()};
}

int HeldFolder(const char* folder, std::size_t length) {
    for (auto it = handles.rbegin(); it != handles.rend(); ++it) {
        const Open& open = it->second;
        if (open.folder && open.linuxPath.size() == length &&
            open.linuxPath.compare(0, length, folder, length) == 0) {
            return open.fd;
        }
    }
    return -1;
}

bool HeldWithoutDeleteSharing(const std::string& linuxPath) {
    for (const auto& each : handles) {
        if (each.second.linuxPath == linuxPath &&
            (each.second.shareMode & FILE_SHARE_DELETE) == 0) {
            return true;
        }
    }
    return false;
}

void CloseAllHandles() {
    for (const auto& each : handles) {
        ::close(each.second.fd);
    }
    handles.clear();
}

void FollowLinksAsWineDoes(bool on) {
    wineLinks = on;
}

bool LinksFollowedAsWineDoes() {
    return wineLinks;
}

int OpenFileCount() {
    return static_cast<int>(handles.size());
}

} // namespace emulated

namespace platform {

HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES,
                   DWORD disposition, DWORD flags, HANDLE) {
    using namespace emulated;
    Operation operation("CreateFileW");
    HANDLE result = INVALID_HANDLE_VALUE;
    DWORD status = static_cast<DWORD>(operation.FaultStatus(fileFaultStatuses));
    if (status == 0) {
        status = Hold(path, access, shareMode, disposition, flags, result);
    }
    if (operation.Tracing()) {
        operation.Trace(Quoted(path) + ", access " + Hex(access) + ", share " + Hex(shareMode) +
                            ", flags " + Hex(flags),
                        status != 0 ? "INVALID_HANDLE_VALUE (" + std::to_string(status) + ")"
                                    : Shown(result));
    }
    return result;
}

BOOL GetFileInformationByHandle(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information) {
    using namespace emulated;
    Operation operation("GetFileInformationByHandle");
    BOOL result = !operation.Faulted() && Inform(file, information) ? TRUE : FALSE;
    if (operation.Tracing()) {
        operation.Trace(Shown(file),
                        result ? "TRUE " + Hex(information->dwFileAttributes) : "FALSE");
    }
    return result;
}

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES,
                   DWORD disposition, DWORD, HANDLE) {
    using namespace emulated;
    Operation operation("CreateFileA");
    HANDLE file = INVALID_HANDLE_VALUE;
    DWORD error = static_cast<DWORD>(operation.FaultStatus(fileFaultStatuses));
    if (error == 0) {
        error = OpenToRead(path, access, shareMode, disposition, file);
    }
    operation.Trace(Quoted(path) + ", access " + Hex(access) + ", share " + Hex(shareMode) +
                        ", disposition " + std::to_string(disposition),
                    error == 0 ? Shown(file)
                               : "INVALID_HANDLE_VALUE (error " + std::to_string(error) + ")");
    return file;
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED) {
    using namespace emulated;
    if (read != nullptr) {
        *read = 0;
    }
    Operation operation("ReadFile");
    DWORD error = static_cast<DWORD>(operation.FaultStatus(lockedFaultStatuses));
    Open* open = Find(file);
    if (error == 0 && (open == nullptr || read == nullptr)) {
        error = open == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER;
    }
    DWORD total = 0;
    while (error == 0 && total < toRead) {
        ssize_t count = ::read(open->fd, static_cast<char*>(buffer) + total, toRead - total);
        if (count < 0 && errno != EINTR) {
            error = ErrorFromErrno(errno);
        } else if (count == 0) {
            break; // end of file: a short read that succeeds
        } else if (count > 0) {
            total += static_cast<DWORD>(count);
        }
    }
    if (error == 0) {
        *read = total;
    }
    operation.Trace(Shown(file) + ", " + std::to_string(toRead),
                    Answered(error) +
                        (error == 0 ? ", read " + std::to_string(total) : std::string()));
    return error == 0 ? TRUE : FALSE;
}

DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method) {
    using namespace emulated;
    Operation operation("SetFilePointer");
    DWORD error = static_cast<DWORD>(operation.FaultStatus(lockedFaultStatuses));
    Open* open = Find(file);
    if (error == 0 && open == nullptr) {
        error = ERROR_INVALID_HANDLE;
    }
    bool rewind =
        distance == 0 && (distanceHigh == nullptr || *distanceHigh == 0) && method == FILE_BEGIN;
    if (error == 0 && !rewind) {
        std::fprintf(stderr,
                     "emulated platform: SetFilePointer only rewinds to the start of a file; "
                     "refused a move by %ld from method %lu\n",
                     static_cast<long>(distance), static_cast<unsigned long>(method));
        error = ERROR_NOT_SUPPORTED;
    }
    if (error == 0 && ::lseek(open->fd, 0, SEEK_SET) != 0) {
        error = ErrorFromErrno(errno);
    }
    operation.Trace(
        Shown(file) + ", " + std::to_string(distance) + ", method " + std::to_string(method),
        error == 0 ? "0" : "INVALID_SET_FILE_POINTER (error " + std::to_string(error) + ")");
    return error == 0 ? 0 : INVALID_SET_FILE_POINTER;
}

BOOL CloseHandle(HANDLE handle) {
    using namespace emulated;
    Operation operation("CloseHandle");
    DWORD error = static_cast<DWORD>(operation.FaultStatus(closeFaultStatuses));
    auto open = handles.find(reinterpret_cast<uintptr_t>(handle));
    if (open == handles.end()) {
        error = ERROR_INVALID_HANDLE;
    } else {
        // The descriptor is released even when a fault is injected, as a
        // failed close on Windows leaves no handle behind either.
        ::close(open->second.fd);
        handles.erase(open);
    }
    operation.Trace(Shown(handle), Answered(error));
    return error == 0 ? TRUE : FALSE;
}

// Beside the file calls, the one string call the settings import asks of
// kernel32.
int lstrlenA(LPCSTR text) {
    // lstrlenA cannot fail: an injected fault is counted and passed over.
    emulated::Operation operation("lstrlenA");
    int length = text != nullptr ? static_cast<int>(std::strlen(text)) : 0;
    operation.Trace(emulated::Quoted(text), std::to_string(length));
    return length;
}

} // namespace platform
