// The emulated file system: opening an existing file for reading, reading its
// bytes, moving within it, closing it. Paths are mapped to Linux paths as
// Wine maps drives; POSIX opens never lock, so other readers and writers are
// never shut out, as the share mode the module passes asks.
#include "FileSystem.h"
#include "Operations.h"
#include "Platform.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Win32 statuses this file reports beyond those PlatformTypes.h names.
const DWORD errorTooManyOpenFiles = 4;
const DWORD errorLockViolation = 33;
const DWORD errorNegativeSeek = 131;
const DWORD fileCurrent = 1; // FILE_CURRENT
const DWORD fileEnd = 2;     // FILE_END

std::map<uintptr_t, int> openFiles; // handle -> descriptor
uintptr_t nextHandle = 0x20000;

// Reading and moving within a file in use meet its lock; a close of a
// handle in use is refused as a bad handle.
const emulated::FaultStatuses lockedFaultStatuses = {ERROR_ACCESS_DENIED, errorLockViolation,
                                                     ERROR_FILE_NOT_FOUND, ERROR_NOT_ENOUGH_MEMORY};
const emulated::FaultStatuses closeFaultStatuses = {ERROR_ACCESS_DENIED, ERROR_INVALID_HANDLE,
                                                    ERROR_FILE_NOT_FOUND, ERROR_NOT_ENOUGH_MEMORY};

// The Win32 status for why open(2) failed on `path`.
DWORD OpenError(int error, const std::string& path) {
    switch (error) {
    case ENOENT: {
        // Windows tells a missing file from a missing folder on its way.
        std::size_t slash = path.rfind('/');
        struct stat folder;
        bool folderThere = slash == std::string::npos || slash == 0 ||
                           (::stat(path.substr(0, slash).c_str(), &folder) == 0);
        return folderThere ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    }
    case ELOOP:
        return ERROR_PATH_NOT_FOUND;
    case EMFILE:
    case ENFILE:
        return errorTooManyOpenFiles;
    default:
        return emulated::ErrorFromErrno(error);
    }
}

// Opens an existing file to read it; INVALID_HANDLE_VALUE with `error` set
// on failure.
HANDLE OpenExisting(LPCSTR path, DWORD access, DWORD disposition, DWORD& error) {
    // Only what the module asks for is emulated: an existing file, read.
    if (disposition != OPEN_EXISTING || (access & ~GENERIC_READ) != 0) {
        error = ERROR_NOT_SUPPORTED;
        return INVALID_HANDLE_VALUE;
    }
    std::string linuxPath;
    if (!emulated::MapFilePath(path, linuxPath)) {
        error = emulated::LastFileError();
        return INVALID_HANDLE_VALUE;
    }
    // Only a regular file is opened: a FIFO would block until a writer came,
    // and opening a device may act on it. A folder opens on Linux, but not
    // without backup semantics on Windows.
    struct stat info;
    if (::stat(linuxPath.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        error = ERROR_ACCESS_DENIED;
        return INVALID_HANDLE_VALUE;
    }
    int fd = ::open(linuxPath.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error = OpenError(errno, linuxPath);
        return INVALID_HANDLE_VALUE;
    }
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        error = ERROR_ACCESS_DENIED;
        return INVALID_HANDLE_VALUE;
    }
    uintptr_t handle = nextHandle;
    nextHandle += 4;
    openFiles[handle] = fd;
    return reinterpret_cast<HANDLE>(handle);
}

int DescriptorOf(HANDLE file) {
    auto open = openFiles.find(reinterpret_cast<uintptr_t>(file));
    return open != openFiles.end() ? open->second : -1;
}

std::string Handle(HANDLE file) {
    return emulated::Hex(reinterpret_cast<uintptr_t>(file));
}

// The status of a failed call stays readable as the thread's last error
// after it; a call that succeeds leaves the last error as it was.
void KeepLastError(DWORD error) {
    if (error != 0) {
        emulated::SetLastFileError(error);
    }
}

// TRUE, or FALSE with the status: a call's result as the trace shows it.
std::string Answered(DWORD error) {
    return error == 0 ? "TRUE" : "FALSE (error " + std::to_string(error) + ")";
}

} // namespace

namespace platform {

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES,
                   DWORD disposition, DWORD, HANDLE) {
    HANDLE file = INVALID_HANDLE_VALUE;
    emulated::Operation operation("CreateFileA");
    DWORD error = operation.FaultStatus(emulated::fileFaultStatuses);
    if (error == 0) {
        file = OpenExisting(path, access, disposition, error);
    }
    operation.Trace(emulated::Quoted(path) + ", access " + emulated::Hex(access) + ", share " +
                        emulated::Hex(shareMode) + ", disposition " + std::to_string(disposition),
                    file != INVALID_HANDLE_VALUE
                        ? Handle(file)
                        : "INVALID_HANDLE_VALUE (error " + std::to_string(error) + ")");
    KeepLastError(error);
    return file;
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED) {
    if (read != nullptr) {
        *read = 0;
    }
    emulated::Operation operation("ReadFile");
    DWORD error = operation.FaultStatus(lockedFaultStatuses);
    int fd = DescriptorOf(file);
    if (error == 0 && fd < 0) {
        error = ERROR_INVALID_HANDLE;
    }
    if (error == 0 && read == nullptr) {
        error = ERROR_INVALID_PARAMETER;
    }
    DWORD total = 0;
    while (error == 0 && total < toRead) {
        ssize_t count = ::read(fd, static_cast<char*>(buffer) + total, toRead - total);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            error = errno == ENOMEM ? ERROR_NOT_ENOUGH_MEMORY : ERROR_ACCESS_DENIED;
        } else if (count == 0) {
            break; // end of file: a short read that succeeds
        } else {
            total += static_cast<DWORD>(count);
        }
    }
    if (error == 0) {
        *read = total;
    }
    operation.Trace(Handle(file) + ", " + std::to_string(toRead),
                    Answered(error) +
                        (error == 0 ? ", read " + std::to_string(total) : std::string()));
    KeepLastError(error);
    return error == 0 ? TRUE : FALSE;
}

DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method) {
    emulated::Operation operation("SetFilePointer");
    DWORD error = operation.FaultStatus(lockedFaultStatuses);
    int fd = DescriptorOf(file);
    if (error == 0 && fd < 0) {
        error = ERROR_INVALID_HANDLE;
    }
    int whence = method == FILE_BEGIN    ? SEEK_SET
                 : method == fileCurrent ? SEEK_CUR
                 : method == fileEnd     ? SEEK_END
                                         : -1;
    if (error == 0 && whence < 0) {
        error = ERROR_INVALID_PARAMETER;
    }
    // Without a high part the distance is a signed 32-bit number; with one,
    // the two make a signed 64-bit number.
    int64_t offset = distanceHigh != nullptr
                         ? static_cast<int64_t>(
                               static_cast<uint64_t>(static_cast<uint32_t>(*distanceHigh)) << 32 |
                               static_cast<uint32_t>(distance))
                         : static_cast<int64_t>(distance);
    off_t position = -1;
    if (error == 0) {
        position = ::lseek(fd, static_cast<off_t>(offset), whence);
        if (position < 0) {
            error = errno == EINVAL ? errorNegativeSeek : ERROR_INVALID_PARAMETER;
        }
    }
    DWORD low = INVALID_SET_FILE_POINTER;
    if (error == 0) {
        low = static_cast<DWORD>(static_cast<uint64_t>(position) & 0xFFFFFFFFu);
        if (distanceHigh != nullptr) {
            *distanceHigh = static_cast<LONG>(static_cast<uint64_t>(position) >> 32);
        }
    }
    operation.Trace(Handle(file) + ", " + std::to_string(offset) + ", method " +
                        std::to_string(method),
                    error == 0 ? std::to_string(low)
                               : "INVALID_SET_FILE_POINTER (error " + std::to_string(error) + ")");
    KeepLastError(error);
    return low;
}

BOOL CloseHandle(HANDLE handle) {
    emulated::Operation operation("CloseHandle");
    DWORD error = operation.FaultStatus(closeFaultStatuses);
    auto open = openFiles.find(reinterpret_cast<uintptr_t>(handle));
    if (open == openFiles.end()) {
        // A folder or file held with CreateFileW, or no handle at all.
        if (!emulated::CloseHeldHandle(handle)) {
            error = ERROR_INVALID_HANDLE;
        }
    } else {
        // The descriptor is released even when a fault is injected, as a
        // failed close on Windows leaves no handle behind either.
        ::close(open->second);
        openFiles.erase(open);
    }
    operation.Trace(Handle(handle), Answered(error));
    KeepLastError(error);
    return error == 0 ? TRUE : FALSE;
}

int lstrlenA(LPCSTR text) {
    // lstrlenA cannot fail: an injected fault is counted and passed over.
    emulated::Operation operation("lstrlenA");
    int length = text != nullptr ? static_cast<int>(std::strlen(text)) : 0;
    operation.Trace(emulated::Quoted(text), std::to_string(length));
    return length;
}

} // namespace platform

namespace emulated {

int OpenFileCount() {
    return static_cast<int>(openFiles.size()) + HeldHandleCount();
}

} // namespace emulated
