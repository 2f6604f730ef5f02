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

// The status of the operation under way; left as the thread's last error.
DWORD lastError = 0;

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

HANDLE OpenExisting(LPCSTR path, DWORD access, DWORD disposition) {
    // Only what the module asks for is emulated: an existing file, read.
    if (disposition != OPEN_EXISTING || (access & ~GENERIC_READ) != 0) {
        lastError = ERROR_NOT_SUPPORTED;
        return INVALID_HANDLE_VALUE;
    }
    std::string linuxPath;
    if (!emulated::MapFilePath(path, linuxPath)) {
        lastError = emulated::LastFileError();
        return INVALID_HANDLE_VALUE;
    }
    // Only a regular file is opened: a FIFO would block until a writer came,
    // and opening a device may act on it. A folder opens on Linux, but not
    // without backup semantics on Windows.
    struct stat info;
    if (::stat(linuxPath.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        lastError = ERROR_ACCESS_DENIED;
        return INVALID_HANDLE_VALUE;
    }
    int fd = ::open(linuxPath.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        lastError = OpenError(errno, linuxPath);
        return INVALID_HANDLE_VALUE;
    }
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        lastError = ERROR_ACCESS_DENIED;
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

// A failure stays readable as the thread's last error after the call.
void KeepLastError() {
    if (lastError != 0) {
        emulated::SetLastFileError(lastError);
    }
}

std::string Failed(BOOL ok) {
    return ok ? "TRUE" : "FALSE (error " + std::to_string(lastError) + ")";
}

} // namespace

namespace platform {

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES,
                   DWORD disposition, DWORD, HANDLE) {
    HANDLE file = INVALID_HANDLE_VALUE;
    emulated::Operation operation("CreateFileA");
    lastError = operation.FaultStatus(emulated::fileFaultStatuses);
    if (lastError == 0) {
        file = OpenExisting(path, access, disposition);
    }
    operation.Trace(emulated::Quoted(path) + ", access " + emulated::Hex(access) + ", share " +
                        emulated::Hex(shareMode) + ", disposition " + std::to_string(disposition),
                    file != INVALID_HANDLE_VALUE
                        ? Handle(file)
                        : "INVALID_HANDLE_VALUE (error " + std::to_string(lastError) + ")");
    KeepLastError();
    return file;
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED) {
    if (read != nullptr) {
        *read = 0;
    }
    emulated::Operation operation("ReadFile");
    lastError = operation.FaultStatus(lockedFaultStatuses);
    int fd = DescriptorOf(file);
    if (lastError == 0 && fd < 0) {
        lastError = ERROR_INVALID_HANDLE;
    }
    if (lastError == 0 && read == nullptr) {
        lastError = ERROR_INVALID_PARAMETER;
    }
    DWORD total = 0;
    while (lastError == 0 && total < toRead) {
        ssize_t count = ::read(fd, static_cast<char*>(buffer) + total, toRead - total);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            lastError = errno == ENOMEM ? ERROR_NOT_ENOUGH_MEMORY : ERROR_ACCESS_DENIED;
        } else if (count == 0) {
            break; // end of file: a short read that succeeds
        } else {
            total += static_cast<DWORD>(count);
        }
    }
    if (lastError == 0) {
        *read = total;
    }
    operation.Trace(Handle(file) + ", " + std::to_string(toRead),
                    Failed(lastError == 0) +
                        (lastError == 0 ? ", read " + std::to_string(total) : std::string()));
    KeepLastError();
    return lastError == 0 ? TRUE : FALSE;
}

DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method) {
    emulated::Operation operation("SetFilePointer");
    lastError = operation.FaultStatus(lockedFaultStatuses);
    int fd = DescriptorOf(file);
    if (lastError == 0 && fd < 0) {
        lastError = ERROR_INVALID_HANDLE;
    }
    int whence = method == FILE_BEGIN    ? SEEK_SET
                 : method == fileCurrent ? SEEK_CUR
                 : method == fileEnd     ? SEEK_END
                                         : -1;
    if (lastError == 0 && whence < 0) {
        lastError = ERROR_INVALID_PARAMETER;
    }
    // Without a high part the distance is a signed 32-bit number; with one,
    // the two make a signed 64-bit number.
    int64_t offset = distanceHigh != nullptr
                         ? static_cast<int64_t>(
                               static_cast<uint64_t>(static_cast<uint32_t>(*distanceHigh)) << 32 |
                               static_cast<uint32_t>(distance))
                         : static_cast<int64_t>(distance);
    off_t position = -1;
    if (lastError == 0) {
        position = ::lseek(fd, static_cast<off_t>(offset), whence);
        if (position < 0) {
            lastError = errno == EINVAL ? errorNegativeSeek : ERROR_INVALID_PARAMETER;
        }
    }
    DWORD low = INVALID_SET_FILE_POINTER;
    if (lastError == 0) {
        low = static_cast<DWORD>(static_cast<uint64_t>(position) & 0xFFFFFFFFu);
        if (distanceHigh != nullptr) {
            *distanceHigh = static_cast<LONG>(static_cast<uint64_t>(position) >> 32);
        }
    }
    operation.Trace(
        Handle(file) + ", " + std::to_string(offset) + ", method " + std::to_string(method),
        lastError == 0 ? std::to_string(low)
                       : "INVALID_SET_FILE_POINTER (error " + std::to_string(lastError) + ")");
    KeepLastError();
    return low;
}

BOOL CloseHandle(HANDLE handle) {
    emulated::Operation operation("CloseHandle");
    lastError = operation.FaultStatus(closeFaultStatuses);
    auto open = openFiles.find(reinterpret_cast<uintptr_t>(handle));
    if (open == openFiles.end()) {
        // A folder or file held with CreateFileW, or no handle at all.
        if (!emulated::CloseHeldHandle(handle)) {
            lastError = ERROR_INVALID_HANDLE;
        }
    } else {
        // The descriptor is released even when a fault is injected, as a
        // failed close on Windows leaves no handle behind either.
        ::close(open->second);
        openFiles.erase(open);
    }
    operation.Trace(Handle(handle), Failed(lastError == 0));
    KeepLastError();
    return lastError == 0 ? TRUE : FALSE;
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
