// The emulated file calls, part four: reading a file from its start.
// CreateFileA opens an existing regular file to read it, ReadFile reads it,
// SetFilePointer rewinds it; lstrlenA, the one string call beside them.
// POSIX opens never lock, so other readers and writers are never shut out,
// as the module's share mode asks. Left out, and refused: creating or
// writing a file, and any move but the rewind to the start (said on
// standard error).
#include "Files.h"
#include "Platform.h"

#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <utility>

namespace emulated {
namespace {

const DWORD errorTooManyOpenFiles = 4; // beyond what PlatformTypes.h names

// Reading and moving within a file in use meet its lock.
const FaultStatuses lockedFaultStatuses = {ERROR_ACCESS_DENIED, 33 /* ERROR_LOCK_VIOLATION */,
                                           ERROR_FILE_NOT_FOUND, ERROR_NOT_ENOUGH_MEMORY};

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
    handle = KeepHandle(fd, std::move(linuxPath), shareMode);
    return 0;
}

// The status a call on an open file starts from: the injected fault's, a
// bad handle's, or 0.
DWORD StatusOnStart(const Operation& operation, int fd) {
    return operation.Faulted() ? operation.FaultStatus(lockedFaultStatuses)
           : fd < 0            ? ERROR_INVALID_HANDLE
                               : 0;
}

} // namespace
} // namespace emulated

namespace platform {

using namespace emulated;

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES,
                   DWORD disposition, DWORD, HANDLE) {
    Operation operation("CreateFileA");
    HANDLE file = INVALID_HANDLE_VALUE;
    DWORD error = operation.Faulted() ? operation.FaultStatus(fileFaultStatuses)
                                      : OpenToRead(path, access, shareMode, disposition, file);
    operation.Trace(Quoted(path) + ", access " + Hex(access) + ", share " + Hex(shareMode) +
                        ", disposition " + std::to_string(disposition),
                    error == 0 ? Shown(file)
                               : "INVALID_HANDLE_VALUE (error " + std::to_string(error) + ")");
    return file;
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED) {
    Operation operation("ReadFile");
    int fd = DescriptorOf(file);
    DWORD error = StatusOnStart(operation, fd);
    DWORD total = 0;
    while (error == 0 && total < toRead) {
        ssize_t count = ::read(fd, static_cast<char*>(buffer) + total, toRead - total);
        if (count == 0) {
            break; // end of file: a short read that succeeds
        }
        if (count > 0) {
            total += static_cast<DWORD>(count);
        } else if (errno != EINTR) {
            error = ErrorFromErrno(errno);
        }
    }
    *read = error == 0 ? total : 0; // never null without an OVERLAPPED, as on Windows
    operation.Trace(Shown(file) + ", " + std::to_string(toRead),
                    error == 0 ? "TRUE, read " + std::to_string(total)
                               : "FALSE (error " + std::to_string(error) + ")");
    return error == 0 ? TRUE : FALSE;
}

DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method) {
    Operation operation("SetFilePointer");
    int fd = DescriptorOf(file);
    DWORD error = StatusOnStart(operation, fd);
    if (error == 0 && (distance != 0 || (distanceHigh != nullptr && *distanceHigh != 0) ||
                       method != FILE_BEGIN)) {
        std::fprintf(stderr,
                     "gantrel: the emulated SetFilePointer only rewinds to the start of a file; "
                     "refused a move by %ld from method %lu\n",
                     static_cast<long>(distance), static_cast<unsigned long>(method));
        error = ERROR_NOT_SUPPORTED;
    }
    if (error == 0 && ::lseek(fd, 0, SEEK_SET) != 0) {
        error = ErrorFromErrno(errno);
    }
    operation.Trace(
        Shown(file) + ", " + std::to_string(distance) + ", method " + std::to_string(method),
        error == 0 ? "0" : "INVALID_SET_FILE_POINTER (error " + std::to_string(error) + ")");
    return error == 0 ? 0 : INVALID_SET_FILE_POINTER;
}

int lstrlenA(LPCSTR text) {
    // lstrlenA cannot fail: an injected fault is counted and passed over.
    Operation operation("lstrlenA");
    int length = text != nullptr ? static_cast<int>(std::strlen(text)) : 0;
    operation.Trace(Quoted(text), std::to_string(length));
    return length;
}

} // namespace platform
