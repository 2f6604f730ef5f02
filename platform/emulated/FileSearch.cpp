// The emulated file system, part one: listing a folder (FindFirstFileA and
// FindNextFileA, which show names through the ANSI code page, FindFirstFileW
// and FindNextFileW, which show them as they are, FindClose) over the real
// POSIX file system.
//
// A listing holds "." and ".." first, as NTFS lists them, except in a
// drive's folder itself, then the folder's entries in the order readdir
// gives them. Entries are read as the walk goes, so entries removed behind
// the listing are never met again and each remaining one is met once. Links
// are looked at with lstat and never followed.
#include "Operations.h"
#include "FileSystem.h"
#include "FindData.h"
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

struct Search {
    DIR* folder = nullptr;
    std::string pattern; // the last component of the Windows pattern
    int dotsToList = 0;  // "." and ".." still to hand out
    std::string folderPath;
    // The entry handed out last and its status, which the removal of that
    // entry takes instead of reading it again.
    std::string lastName;
    struct stat lastStatus;
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

// The next entry of the listing that matches its pattern, or false at the end.
template <typename FindData> bool NextEntry(Search& search, FindData* data) {
    int folderFd = ::dirfd(search.folder);
    while (search.dotsToList > 0) {
        const char* dots = search.dotsToList == 2 ? "." : "..";
        --search.dotsToList;
        if (NameMatches(search.pattern, dots) &&
            Describe(folderFd, dots, data, search.lastStatus)) {
            search.lastName.clear();
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
        if (NameMatches(search.pattern, name) &&
            Describe(folderFd, name, data, search.lastStatus)) {
            search.lastName = name;
            return true;
        }
    }
}

// FindFirstFile on a path without wildcards names one entry, which it
// reports under its own name.
template <typename FindData> HANDLE FindSingleEntry(std::string linuxPath, FindData* data) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::size_t slash = linuxPath.rfind('/');
        std::string folder = slash == std::string::npos ? "." : linuxPath.substr(0, slash);
        std::string name = slash == std::string::npos ? linuxPath : linuxPath.substr(slash + 1);
        // The parent is looked at through its listing or held handle where
        // there is one, as the removals reach entries: a path below a deep
        // chain may be longer than Linux takes whole.
        Entry located = Locate(linuxPath);
        bool ownFolder = located.folder == AT_FDCWD;
        int folderFd = ownFolder
                           ? ::open(folder.empty() ? "/" : folder.c_str(), O_RDONLY | O_DIRECTORY)
                           : located.folder;
        struct stat entry;
        bool found = folderFd >= 0 && Describe(folderFd, name.c_str(), data, entry);
        int error = errno;
        if (ownFolder && folderFd >= 0) {
            ::close(folderFd);
        }
        if (found) {
            // A search that has nothing more to give.
            Search* search = new Search;
            search->pattern = name;
            openListings.push_back(search);
            return search;
        }
        if (attempt == 1 || !FindCase(linuxPath)) {
            SetLastFileError(folderFd < 0 ? ErrorFromErrno(error) : ERROR_FILE_NOT_FOUND);
            return INVALID_HANDLE_VALUE;
        }
    }
    return INVALID_HANDLE_VALUE;
}

// A listing of the folder of a mapped pattern whose last component holds a
// wildcard.
template <typename FindData> HANDLE StartListing(const std::string& linuxPattern, FindData* data) {
    std::size_t slash = linuxPattern.rfind('/');
    std::string last = slash == std::string::npos ? linuxPattern : linuxPattern.substr(slash + 1);
    if (last.find_first_of("*?") == std::string::npos) {
        return FindSingleEntry(linuxPattern, data);
    }
    std::string folder = slash == std::string::npos ? "." : linuxPattern.substr(0, slash);
    // A folder held open is listed through its handle's descriptor, so the
    // listing shows what was opened even if its path now leads elsewhere.
    int held = HeldFolder(folder.data(), folder.size());
    DIR* opened = nullptr;
    if (held >= 0) {
        int fd = ::openat(held, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        opened = fd >= 0 ? ::fdopendir(fd) : nullptr;
        if (fd >= 0 && opened == nullptr) {
            ::close(fd);
        }
    } else {
        opened = ::opendir(folder.c_str());
    }
    if (opened == nullptr && errno == ENOENT && FindCase(folder)) {
        opened = ::opendir(folder.c_str());
    }
    if (opened == nullptr) {
        SetLastFileError(errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND
                                                             : ErrorFromErrno(errno));
        return INVALID_HANDLE_VALUE;
    }
    Search* search = new Search;
    search->pattern = last;
    search->folderPath = folder;
    search->folder = opened;
    // A drive's own folder lists no "." and "..".
    search->dotsToList = DriveFolderLength(folder) == folder.size() ? 0 : 2;
    openListings.push_back(search);
    if (NextEntry(*search, data)) {
        return search;
    }
    EndListing(search);
    SetLastFileError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
}

template <typename FindData> BOOL ContinueListing(HANDLE handle, FindData* data) {
    Search* search = static_cast<Search*>(handle);
    if (!IsOpen(handle)) {
        SetLastFileError(ERROR_INVALID_HANDLE);
    } else if (search->folder != nullptr && NextEntry(*search, data)) {
        return TRUE;
    } else {
        SetLastFileError(ERROR_NO_MORE_FILES);
    }
    return FALSE;
}

// An entry handed out, as the trace shows it: its name and attributes.
template <typename FindData> std::string Shown(const FindData* data) {
    return Quoted(data->cFileName) + " " + Hex(data->dwFileAttributes);
}

std::string Described(HANDLE handle) {
    return handle == INVALID_HANDLE_VALUE ? "INVALID_HANDLE_VALUE"
                                          : Hex(reinterpret_cast<uintptr_t>(handle));
}

// FindFirstFileA and FindFirstFileW, told apart by the kind of pattern.
template <typename Char, typename FindData>
HANDLE FindFirst(const char* name, const Char* pattern, FindData* data) {
    FileOperation operation(name);
    HANDLE result = INVALID_HANDLE_VALUE;
    std::string linuxPattern;
    if (!operation.Faulted() && MapFilePath(pattern, linuxPattern)) {
        result = StartListing(linuxPattern, data);
    }
    if (operation.Tracing()) {
        operation.Trace(Quoted(pattern), result == INVALID_HANDLE_VALUE
                                             ? Described(result)
                                             : Described(result) + " " + Shown(data));
    }
    return result;
}

template <typename FindData> BOOL FindNext(const char* name, HANDLE handle, FindData* data) {
    FileOperation operation(name);
    BOOL result = operation.Faulted() ? FALSE : ContinueListing(handle, data);
    if (operation.Tracing()) {
        operation.Trace(Described(handle), result ? "TRUE " + Shown(data) : "FALSE");
    }
    return result;
}

} // namespace

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

bool TakeListedStatus(int folderFd, const char* name, struct stat& status) {
    for (auto it = openListings.rbegin(); it != openListings.rend(); ++it) {
        Search& search = **it;
        if (search.folder != nullptr && ::dirfd(search.folder) == folderFd) {
            if (search.lastName.empty() || search.lastName != name) {
                return false;
            }
            status = search.lastStatus;
            search.lastName.clear();
            return true;
        }
    }
    return false;
}

void ForgetListedStatus() {
    for (Search* search : openListings) {
        search->lastName.clear();
    }
}

void EndAllListings() {
    while (!openListings.empty()) {
        EndListing(openListings.back());
    }
}

int OpenSearchCount() {
    return static_cast<int>(openListings.size());
}

} // namespace emulated

namespace platform {

HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA findData) {
    return emulated::FindFirst("FindFirstFileA", pattern, findData);
}

HANDLE FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW findData) {
    return emulated::FindFirst("FindFirstFileW", pattern, findData);
}

BOOL FindNextFileA(HANDLE handle, LPWIN32_FIND_DATAA findData) {
    return emulated::FindNext("FindNextFileA", handle, findData);
}

BOOL FindNextFileW(HANDLE handle, LPWIN32_FIND_DATAW findData) {
    return emulated::FindNext("FindNextFileW", handle, findData);
}

BOOL FindClose(HANDLE handle) {
    using namespace emulated;
    FileOperation operation("FindClose");
    BOOL result = FALSE;
    if (!operation.Faulted() && IsOpen(handle)) {
        EndListing(static_cast<Search*>(handle));
        result = TRUE;
    } else if (!operation.Faulted()) {
        SetLastFileError(ERROR_INVALID_HANDLE);
    }
    if (operation.Tracing()) {
        operation.Trace(Described(handle), result ? "TRUE" : "FALSE");
    }
    return result;
}

} // namespace platform
