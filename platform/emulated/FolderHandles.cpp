// The emulated file system, part three: handles on folders and files opened
// with backup semantics (CreateFileW), what GetFileInformationByHandle tells
// of them, and what holding them open means to the other operations.
//
// A handle holds a Linux descriptor of the entry itself, opened relative to
// the descriptor of its parent's listing or held handle where there is one.
// With FILE_FLAG_OPEN_REPARSE_POINT a link is opened as the link (O_PATH |
// O_NOFOLLOW) and never followed. Paths below a held folder are resolved
// through its descriptor, and a held folder whose handle does not share
// deletion cannot be removed: both are what Windows promises to a process
// that holds a folder open.
#include "FileNames.h"
#include "FileSystem.h"
#include "Operations.h"
#include "Platform.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace emulated {
namespace {

struct Held {
    int fd = -1;
    std::string linuxPath;
    DWORD shareMode = 0;
};
std::vector<Held*> heldHandles;
// Wine's way with a Unix symbolic link: opened as its target even when the
// caller asks for the link itself.
bool wineLinks = false;

// Only what the module asks for is emulated: an existing entry opened to
// read its attributes or list it.
const DWORD supportedAccess = GENERIC_READ | FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES;

Held* Find(HANDLE handle) {
    for (Held* held : heldHandles) {
        if (held == handle) {
            return held;
        }
    }
    return nullptr;
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

// Opens an existing entry with backup semantics and holds it; the handle,
// or INVALID_HANDLE_VALUE with the last error set.
HANDLE Hold(LPCWSTR path, DWORD access, DWORD shareMode, DWORD disposition, DWORD flags) {
    std::string linuxPath;
    if (disposition != OPEN_EXISTING || (access & ~supportedAccess) != 0 ||
        (flags & FILE_FLAG_BACKUP_SEMANTICS) == 0) {
        SetLastFileError(ERROR_NOT_SUPPORTED);
        return INVALID_HANDLE_VALUE;
    }
    if (!MapFilePath(path, linuxPath)) {
        return INVALID_HANDLE_VALUE;
    }
    int fd = OpenEntry(linuxPath, (flags & FILE_FLAG_OPEN_REPARSE_POINT) == 0 || wineLinks);
    if (fd < 0) {
        SetLastFileError(errno == ENOENT ? ERROR_FILE_NOT_FOUND : ErrorFromErrno(errno));
        return INVALID_HANDLE_VALUE;
    }
    Held* held = new Held;
    held->fd = fd;
    held->linuxPath = linuxPath;
    held->shareMode = shareMode;
    heldHandles.push_back(held);
    return held;
}

// Fills `information` for a held handle; false with the last error set.
bool Inform(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information) {
    Held* held = Find(file);
    struct stat entry;
    if (held == nullptr || information == nullptr) {
        SetLastFileError(ERROR_INVALID_HANDLE);
        return false;
    }
    if (::fstatat(held->fd, "", &entry, AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW) != 0) {
        SetLastFileError(ErrorFromErrno(errno));
        return false;
    }
    struct stat target;
    bool leadsToFolder = S_ISLNK(entry.st_mode) && ::stat(held->linuxPath.c_str(), &target) == 0 &&
                         S_ISDIR(target.st_mode);
    std::size_t slash = held->linuxPath.rfind('/');
    std::memset(information, 0, sizeof *information);
    information->dwFileAttributes =
        AttributesOf(entry, held->linuxPath.c_str() + (slash == std::string::npos ? 0 : slash + 1),
                     leadsToFolder);
    information->ftCreationTime = FileTimeOf(entry.st_ctim);
    information->ftLastAccessTime = FileTimeOf(entry.st_atim);
    information->ftLastWriteTime = FileTimeOf(entry.st_mtim);
    information->dwVolumeSerialNumber = static_cast<DWORD>(entry.st_dev);
    information->nFileSizeHigh = static_cast<DWORD>(static_cast<uint64_t>(entry.st_size) >> 32);
    information->nFileSizeLow = static_cast<DWORD>(entry.st_size);
    information->nNumberOfLinks = static_cast<DWORD>(entry.st_nlink);
    information->nFileIndexHigh = static_cast<DWORD>(static_cast<uint64_t>(entry.st_ino) >> 32);
    information->nFileIndexLow = static_cast<DWORD>(entry.st_ino);
    return true;
}

} // namespace

int HeldFolder(const char* folder, std::size_t length) {
    for (auto it = heldHandles.rbegin(); it != heldHandles.rend(); ++it) {
        const std::string& path = (*it)->linuxPath;
        if (path.size() == length && path.compare(0, length, folder, length) == 0) {
            struct stat entry;
            if (::fstat((*it)->fd, &entry) == 0 && S_ISDIR(entry.st_mode)) {
                return (*it)->fd;
            }
        }
    }
    return -1;
}

bool HeldWithoutDeleteSharing(const std::string& linuxPath) {
    for (Held* held : heldHandles) {
        if (held->linuxPath == linuxPath && (held->shareMode & FILE_SHARE_DELETE) == 0) {
            return true;
        }
    }
    return false;
}

bool CloseHeldHandle(HANDLE handle) {
    Held* held = Find(handle);
    if (held == nullptr) {
        return false;
    }
    ::close(held->fd);
    heldHandles.erase(std::find(heldHandles.begin(), heldHandles.end(), held));
    delete held;
    return true;
}

int HeldHandleCount() {
    return static_cast<int>(heldHandles.size());
}

void CloseAllHeldHandles() {
    while (!heldHandles.empty()) {
        CloseHeldHandle(heldHandles.back());
    }
}

void FollowLinksAsWineDoes(bool on) {
    wineLinks = on;
}

bool LinksFollowedAsWineDoes() {
    return wineLinks;
}

} // namespace emulated

namespace platform {

HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES,
                   DWORD disposition, DWORD flags, HANDLE) {
    using namespace emulated;
    FileOperation operation("CreateFileW");
    HANDLE result = operation.Faulted() ? INVALID_HANDLE_VALUE
                                        : Hold(path, access, shareMode, disposition, flags);
    if (operation.Tracing()) {
        operation.Trace(Quoted(path) + ", access " + Hex(access) + ", share " + Hex(shareMode) +
                            ", flags " + Hex(flags),
                        result == INVALID_HANDLE_VALUE
                            ? "INVALID_HANDLE_VALUE (" + std::to_string(LastFileError()) + ")"
                            : Hex(reinterpret_cast<uintptr_t>(result)));
    }
    return result;
}

BOOL GetFileInformationByHandle(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information) {
    using namespace emulated;
    FileOperation operation("GetFileInformationByHandle");
    BOOL result = !operation.Faulted() && Inform(file, information) ? TRUE : FALSE;
    if (operation.Tracing()) {
        operation.Trace(Hex(reinterpret_cast<uintptr_t>(file)),
                        result ? "TRUE " + Hex(information->dwFileAttributes) : "FALSE");
    }
    return result;
}

} // namespace platform
