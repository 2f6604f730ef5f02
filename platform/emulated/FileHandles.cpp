// The emulated file calls, part three: handles. CreateFileW opens an existing
// file or folder with backup semantics and holds it, GetFileInformationByHandle
// tells of it, CloseHandle closes it or a file CreateFileA opened.
//
// A handle holds a Linux descriptor of the entry itself, opened through the
// folder held above it where there is one; with FILE_FLAG_OPEN_REPARSE_POINT
// a link is opened as the link (O_PATH | O_NOFOLLOW). Left out, and refused:
// creating, writing, any other disposition; of a handle's information, all
// but the attributes, volume serial number and file index (zero).
#include "Files.h"
#include "Platform.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <unistd.h>
#include <utility>

namespace emulated {
namespace {

// A close of a handle in use is refused as a bad handle.
const FaultStatuses closeFaultStatuses = {ERROR_ACCESS_DENIED, ERROR_INVALID_HANDLE,
                                          ERROR_FILE_NOT_FOUND, ERROR_NOT_ENOUGH_MEMORY};

// Only what the module asks for is emulated: an existing entry opened to
// read its attributes or list it.
const DWORD supportedHoldAccess = GENERIC_READ | FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES;

struct Open {
    int fd;
    std::string linuxPath;
    DWORD shareMode;
    bool folder; // paths below it are resolved through it
};
std::map<uintptr_t, Open> handles; // innermost last
uintptr_t nextHandle = 0x20000;

Open* Find(HANDLE handle) {
    auto found = handles.find(reinterpret_cast<uintptr_t>(handle));
    return found != handles.end() ? &found->second : nullptr;
}

// Opens the entry itself, in any case: a link, where links are not to be
// followed, as the link. The descriptor, or -1.
int OpenEntry(std::string& linuxPath, bool followLinks) {
    int fd = -1;
    InAnyCase(linuxPath, [&](Entry entry) {
        fd = ::openat(entry.folder, entry.name,
                      O_RDONLY | O_CLOEXEC | (followLinks ? 0 : O_NOFOLLOW));
        if (fd < 0 && errno == ELOOP && !followLinks) {
            fd = ::openat(entry.folder, entry.name, O_PATH | O_NOFOLLOW | O_CLOEXEC);
        }
        return fd >= 0;
    });
    return fd;
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
    int fd = OpenEntry(linuxPath,
                       (flags & FILE_FLAG_OPEN_REPARSE_POINT) == 0 || linksFollowedAsWineDoes);
    if (fd < 0) {
        return ErrorFromErrno(errno);
    }
    handle = KeepHandle(fd, std::move(linuxPath), shareMode);
    return 0;
}

// Fills `information` for a handle; false when there is none to tell of.
bool Inform(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information) {
    const Open* open = Find(file);
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

} // namespace

bool linksFollowedAsWineDoes = false;

HANDLE KeepHandle(int fd, std::string linuxPath, DWORD shareMode) {
    struct stat entry;
    bool folder = ::fstat(fd, &entry) == 0 && S_ISDIR(entry.st_mode);
    uintptr_t handle = nextHandle;
    nextHandle += 4;
    handles.emplace(handle, Open{fd, std::move(linuxPath), shareMode, folder});
    return reinterpret_cast<HANDLE>(handle);
}

int DescriptorOf(HANDLE handle) {
    const Open* open = Find(handle);
    return open != nullptr ? open->fd : -1;
}

Entry Locate(const std::string& linuxPath) {
    std::size_t slash = linuxPath.rfind('/');
    int folder = slash != std::string::npos && slash > 0 ? HeldFolder(linuxPath.data(), slash) : -1;
    return folder >= 0 ? Entry{folder, linuxPath.c_str() + slash + 1}
                       : Entry{AT_FDCWD, linuxPath.c_str()};
}

int HeldFolder(const char* folder, std::size_t length) {
    for (auto it = handles.rbegin(); it != handles.rend(); ++it) {
        const Open& open = it->second;
        if (open.folder && open.linuxPath.compare(0, std::string::npos, folder, length) == 0) {
            return open.fd;
        }
    }
    return -1;
}

bool HeldWithoutDeleteSharing(const std::string& linuxPath) {
    return std::any_of(handles.begin(), handles.end(), [&linuxPath](const auto& each) {
        return each.second.linuxPath == linuxPath &&
               (each.second.shareMode & FILE_SHARE_DELETE) == 0;
    });
}

void CloseAllHandles() {
    for (const auto& each : handles) {
        ::close(each.second.fd);
    }
    handles.clear();
}

void FollowLinksAsWineDoes(bool on) {
    linksFollowedAsWineDoes = on;
}

int OpenFileCount() {
    return static_cast<int>(handles.size());
}

} // namespace emulated

namespace platform {

using namespace emulated;

HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES,
                   DWORD disposition, DWORD flags, HANDLE) {
    Operation operation("CreateFileW");
    HANDLE result = INVALID_HANDLE_VALUE;
    DWORD status = operation.Faulted() ? operation.FaultStatus(fileFaultStatuses)
                                       : Hold(path, access, shareMode, disposition, flags, result);
    if (operation.Tracing()) {
        operation.Trace(Quoted(path) + ", access " + Hex(access) + ", share " + Hex(shareMode) +
                            ", flags " + Hex(flags),
                        status != 0 ? "INVALID_HANDLE_VALUE (" + std::to_string(status) + ")"
                                    : Shown(result));
    }
    return result;
}

BOOL GetFileInformationByHandle(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information) {
    Operation operation("GetFileInformationByHandle");
    BOOL result = !operation.Faulted() && Inform(file, information) ? TRUE : FALSE;
    if (operation.Tracing()) {
        operation.Trace(Shown(file),
                        result ? "TRUE " + Hex(information->dwFileAttributes) : "FALSE");
    }
    return result;
}

BOOL CloseHandle(HANDLE handle) {
    Operation operation("CloseHandle");
    DWORD error = operation.FaultStatus(closeFaultStatuses);
    int fd = DescriptorOf(handle);
    if (fd < 0) {
        error = ERROR_INVALID_HANDLE;
    } else {
        // The descriptor is released even when a fault is injected, as a
        // failed close on Windows leaves no handle behind either.
        ::close(fd);
        handles.erase(reinterpret_cast<uintptr_t>(handle));
    }
    operation.Trace(Shown(handle),
                    error == 0 ? "TRUE" : "FALSE (error " + std::to_string(error) + ")");
    return error == 0 ? TRUE : FALSE;
}

} // namespace platform
