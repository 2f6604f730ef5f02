// The emulated file system, part one: listing a folder (FindFirstFileA,
// FindNextFileA, FindClose) over the real POSIX file system, and what the
// listing and the removals share (attributes, errors, path mapping).
//
// A listing holds "." and ".." first, as NTFS lists them, except in a
// drive's folder itself, then the folder's entries in the order readdir
// gives them. Entries are read as the walk goes, so entries removed behind
// the listing are never met again and each remaining one is met once. Links
// are looked at with lstat and never followed.
#include "Backend.h"
#include "FileSystem.h"
#include "Operations.h"
#include "PathMapping.h"
#include "Platform.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace emulated {
namespace {

thread_local DWORD lastFileError = ERROR_SUCCESS;

struct Search {
    DIR* folder = nullptr;
    std::string pattern; // the last component of the Windows pattern
    int dotsToList = 0;  // "." and ".." still to hand out
    std::string folderPath;
};
// Every listing begun and not yet ended, innermost last. A handle not
// among them is no listing (any more): it is refused, as Windows refuses one.
std::vector<Search*> openListings;

bool IsOpen(HANDLE handle) {
    for (auto it = openListings.rbegin(); it != openListings.rend(); ++it) {
        if (*it == handle) {
            return true;
        }
    }
    return false;
}

void EndListing(Search* search) {
    for (auto it = openListings.rbegin(); it != openListings.rend(); ++it) {
        if (*it == search) {
            openListings.erase(std::next(it).base());
            break;
        }
    }
    if (search->folder != nullptr) {
        ::closedir(search->folder);
    }
    delete search;
}

// Windows wildcards: "*" and "*.*" take every name, a name without a dot
// included; otherwise * and ? as the shell knows them, without regard to case.
bool NameMatches(const std::string& pattern, const char* name) {
    if (pattern == "*" || pattern == "*.*") {
        return true;
    }
    return ::fnmatch(pattern.c_str(), name, FNM_CASEFOLD) == 0;
}

FILETIME FileTimeOf(const struct timespec& time) {
    // 100-nanosecond steps since 1601-01-01.
    const unsigned long long epochOffset = 116444736000000000ULL;
    unsigned long long ticks = epochOffset +
                               static_cast<unsigned long long>(time.tv_sec) * 10000000ULL +
                               static_cast<unsigned long long>(time.tv_nsec) / 100;
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

bool LeadsToFolder(int folderFd, const char* name) {
    struct stat target;
    return ::fstatat(folderFd, name, &target, 0) == 0 && S_ISDIR(target.st_mode);
}

// Fills the find data for `name` inside the open folder; false when the entry
// went away since readdir saw it.
bool Describe(int folderFd, const char* name, const char* shownName, LPWIN32_FIND_DATAA data) {
    struct stat entry;
    if (::fstatat(folderFd, name, &entry, AT_SYMLINK_NOFOLLOW) != 0) {
        return false;
    }
    bool isLink = S_ISLNK(entry.st_mode);
    std::memset(data, 0, sizeof *data);
    data->dwFileAttributes =
        AttributesOf(entry, shownName, isLink && LeadsToFolder(folderFd, name));
    data->ftCreationTime = FileTimeOf(entry.st_ctim);
    data->ftLastAccessTime = FileTimeOf(entry.st_atim);
    data->ftLastWriteTime = FileTimeOf(entry.st_mtim);
    if (!S_ISDIR(entry.st_mode)) {
        unsigned long long size = static_cast<unsigned long long>(entry.st_size);
        data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
        data->nFileSizeLow = static_cast<DWORD>(size);
    }
    if (isLink) {
        data->dwReserved0 = 0xA000000C; // IO_REPARSE_TAG_SYMLINK
    }
    std::strncpy(data->cFileName, shownName, MAX_PATH - 1);
    return true;
}

// The next entry of the listing that matches its pattern, or false at the end.
bool NextEntry(Search& search, LPWIN32_FIND_DATAA data) {
    int folderFd = ::dirfd(search.folder);
    while (search.dotsToList > 0) {
        const char* dots = search.dotsToList == 2 ? "." : "..";
        --search.dotsToList;
        if (NameMatches(search.pattern, dots) && Describe(folderFd, dots, dots, data)) {
            return true;
        }
    }
    for (;;) {
        errno = 0;
        struct dirent* entry = ::readdir(search.folder);
        if (entry == nullptr) {
            return false;
        }
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
            continue;
        }
        // A name the ANSI find data cannot hold is not listed.
        if (std::strlen(name) >= MAX_PATH || !NameMatches(search.pattern, name)) {
            continue;
        }
        if (Describe(folderFd, name, name, data)) {
            return true;
        }
    }
}

// FindFirstFileA on a path without wildcards names one entry, which it
// reports under its own name.
HANDLE FindSingleEntry(const std::string& linuxPath, LPWIN32_FIND_DATAA data) {
    std::size_t slash = linuxPath.rfind('/');
    std::string folder = slash == std::string::npos ? "." : linuxPath.substr(0, slash);
    std::string name = slash == std::string::npos ? linuxPath : linuxPath.substr(slash + 1);
    int folderFd = ::open(folder.empty() ? "/" : folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (folderFd < 0) {
        SetLastFileError(ErrorFromErrno(errno));
        return INVALID_HANDLE_VALUE;
    }
    bool found = Describe(folderFd, name.c_str(), name.c_str(), data);
    ::close(folderFd);
    if (!found) {
        SetLastFileError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    // A search that has nothing more to give.
    Search* search = new Search;
    search->pattern = name;
    openListings.push_back(search);
    return search;
}

std::string Described(HANDLE handle) {
    return handle == INVALID_HANDLE_VALUE ? "INVALID_HANDLE_VALUE"
                                          : Hex(reinterpret_cast<uintptr_t>(handle));
}

} // namespace

DWORD AttributesOf(const struct stat& entry, const char* name, bool leadsToFolder) {
    DWORD attributes = 0;
    if (S_ISLNK(entry.st_mode)) {
        attributes = FILE_ATTRIBUTE_REPARSE_POINT |
                     (leadsToFolder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE);
    } else if (S_ISDIR(entry.st_mode)) {
        attributes = FILE_ATTRIBUTE_DIRECTORY;
    } else {
        attributes = FILE_ATTRIBUTE_ARCHIVE;
    }
    if (!S_ISLNK(entry.st_mode) && (entry.st_mode & S_IWUSR) == 0) {
        attributes |= FILE_ATTRIBUTE_READONLY;
    }
    if (name[0] == '.' && std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0) {
        attributes |= FILE_ATTRIBUTE_HIDDEN;
    }
    return attributes;
}

DWORD ErrorFromErrno(int error) {
    switch (error) {
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return ERROR_ACCESS_DENIED;
    case ENOTEMPTY:
    case EEXIST:
        return ERROR_DIR_NOT_EMPTY;
    case EBUSY:
    case ETXTBSY:
        return ERROR_SHARING_VIOLATION;
    case ENAMETOOLONG:
        return errorFilenameTooLong;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return ERROR_ACCESS_DENIED;
    }
}

DWORD ErrorFromFault(FaultKind kind) {
    return static_cast<DWORD>(StatusOfFault(kind, fileFaultStatuses));
}

void SetLastFileError(DWORD error) {
    lastFileError = error;
}

DWORD LastFileError() {
    return lastFileError;
}

int ListedFolder(const char* folder, std::size_t length) {
    for (auto it = openListings.rbegin(); it != openListings.rend(); ++it) {
        const std::string& path = (*it)->folderPath;
        if ((*it)->folder != nullptr && path.size() == length &&
            path.compare(0, length, folder, length) == 0) {
            return ::dirfd((*it)->folder);
        }
    }
    return -1;
}

void EndAllListings() {
    while (!openListings.empty()) {
        EndListing(openListings.back());
    }
}

int OpenSearchCount() {
    return static_cast<int>(openListings.size());
}

bool MapFilePath(const char* windowsPath, std::string& linuxPath, bool* driveRoot) {
    if (windowsPath != nullptr && std::strlen(windowsPath) >= MAX_PATH) {
        SetLastFileError(errorFilenameTooLong);
        return false;
    }
    if (!MapPath(windowsPath, linuxPath, driveRoot)) {
        SetLastFileError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    return true;
}

} // namespace emulated

namespace platform {

HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA findData) {
    using namespace emulated;
    FaultKind fault = BeginOperation("FindFirstFileA");
    HANDLE result = INVALID_HANDLE_VALUE;
    std::string linuxPattern;
    bool driveRoot = false;
    if (fault != FaultKind::None) {
        SetLastFileError(ErrorFromFault(fault));
    } else if (MapFilePath(pattern, linuxPattern, &driveRoot)) {
        std::size_t slash = linuxPattern.rfind('/');
        std::string last =
            slash == std::string::npos ? linuxPattern : linuxPattern.substr(slash + 1);
        if (last.find_first_of("*?") == std::string::npos) {
            result = FindSingleEntry(linuxPattern, findData);
        } else {
            std::string folder = slash == std::string::npos ? "." : linuxPattern.substr(0, slash);
            Search* search = new Search;
            search->pattern = last;
            search->folderPath = folder;
            // The pattern's folder is a drive's own folder when the pattern
            // without its last component is.
            std::string windowsFolder(pattern, std::strlen(pattern) - last.size());
            bool folderIsRoot = false;
            std::string ignored;
            MapPath(windowsFolder.empty() ? "." : windowsFolder.c_str(), ignored, &folderIsRoot);
            search->dotsToList = folderIsRoot ? 0 : 2;
            search->folder = ::opendir(folder.c_str());
            if (search->folder == nullptr) {
                SetLastFileError(errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND
                                                                     : ErrorFromErrno(errno));
                delete search;
            } else {
                openListings.push_back(search);
                if (NextEntry(*search, findData)) {
                    result = search;
                } else {
                    EndListing(search);
                    SetLastFileError(ERROR_FILE_NOT_FOUND);
                }
            }
        }
    }
    if (TraceEnabled()) {
        TraceOperation("FindFirstFileA", Quoted(pattern),
                       result == INVALID_HANDLE_VALUE ? "INVALID_HANDLE_VALUE"
                                                      : Hex(reinterpret_cast<uintptr_t>(result)) +
                                                            " " + Quoted(findData->cFileName) +
                                                            " " + Hex(findData->dwFileAttributes));
    }
    return result;
}

BOOL FindNextFileA(HANDLE handle, LPWIN32_FIND_DATAA findData) {
    using namespace emulated;
    FaultKind fault = BeginOperation("FindNextFileA");
    BOOL result = FALSE;
    Search* search = static_cast<Search*>(handle);
    if (fault != FaultKind::None) {
        SetLastFileError(ErrorFromFault(fault));
    } else if (!IsOpen(handle)) {
        SetLastFileError(ERROR_INVALID_HANDLE);
    } else if (search->folder != nullptr && NextEntry(*search, findData)) {
        result = TRUE;
    } else {
        SetLastFileError(ERROR_NO_MORE_FILES);
    }
    if (TraceEnabled()) {
        TraceOperation("FindNextFileA", Described(handle),
                       result ? "TRUE " + Quoted(findData->cFileName) + " " +
                                    Hex(findData->dwFileAttributes)
                              : "FALSE");
    }
    return result;
}

BOOL FindClose(HANDLE handle) {
    using namespace emulated;
    FaultKind fault = BeginOperation("FindClose");
    BOOL result = FALSE;
    if (fault != FaultKind::None) {
        SetLastFileError(ErrorFromFault(fault));
    } else if (!IsOpen(handle)) {
        SetLastFileError(ERROR_INVALID_HANDLE);
    } else {
        EndListing(static_cast<Search*>(handle));
        result = TRUE;
    }
    if (TraceEnabled()) {
        TraceOperation("FindClose", Described(handle), result ? "TRUE" : "FALSE");
    }
    return result;
}

} // namespace platform
