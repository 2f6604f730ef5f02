// The emulated file calls, part one: listing a folder (FindFirstFileW,
// FindNextFileW, FindClose) over the real POSIX file system.
//
// A listing holds "." and ".." first, as NTFS lists them, except in a
// drive's folder itself, then the entries in readdir's order, read as the
// walk goes: entries removed behind it are never met again, and each other
// one is met once. A folder held open is listed through its descriptor,
// wherever its path now leads. Links are never followed.
// Left out: wildcards but "*" and "*.*" (refused, and said on standard
// error); every field of the find data but the name and the attributes.
#include "CodePages.h"
#include "Files.h"
#include "Platform.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <unistd.h>
#include <vector>

namespace emulated {
namespace {

struct Search {
    DIR* folder;    // null for a search of one entry, already handed out
    int dotsToList; // "." and ".." still to hand out
};
// Every listing begun and not yet ended, innermost last. A handle not
// among them is no listing (any more): it is refused, as Windows refuses one.
std::vector<Search*> openListings;

bool IsOpen(HANDLE handle) {
    return std::find(openListings.rbegin(), openListings.rend(), handle) != openListings.rend();
}

void EndListing(Search* search) {
    openListings.erase(std::find(openListings.rbegin(), openListings.rend(), search).base() - 1);
    if (search->folder != nullptr) {
        ::closedir(search->folder);
    }
    delete search;
}

Search* Begin(DIR* folder, int dotsToList) {
    openListings.push_back(new Search{folder, dotsToList});
    return openListings.back();
}

// Fills the find data for the entry at `path` in `folder`, listed as `name`
// (UTF-8, as on disk): false when the entry went away since readdir saw it,
// or, as Windows lists no name it cannot hand out, its name does not fit.
bool Describe(int folder, const char* path, const char* name, WIN32_FIND_DATAW* data) {
    struct stat entry;
    if (::fstatat(folder, path, &entry, AT_SYMLINK_NOFOLLOW) != 0) {
        return false;
    }
    std::u16string wide = Utf16FromUtf8(name, Unconvertible::replaced);
    if (wide.size() >= MAX_PATH) {
        return false;
    }
    std::memset(data, 0, sizeof *data);
    std::memcpy(data->cFileName, wide.c_str(), (wide.size() + 1) * sizeof(WCHAR));
    data->dwFileAttributes =
        AttributesOf(entry, name, S_ISLNK(entry.st_mode) && LeadsToFolder(folder, path));
    return true;
}

// The next entry of the listing, or false at the end.
bool NextEntry(Search& search, WIN32_FIND_DATAW* data) {
    int folder = ::dirfd(search.folder);
    while (search.dotsToList > 0) {
        const char* dots = search.dotsToList-- == 2 ? "." : "..";
        if (Describe(folder, dots, dots, data)) {
            return true;
        }
    }
    while (struct dirent* entry = ::readdir(search.folder)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0 &&
            Describe(folder, name, name, data)) {
            return true;
        }
    }
    return false;
}

// A pattern without wildcards names one entry, reported under its own name.
HANDLE FindEntry(std::string linuxPath, WIN32_FIND_DATAW* data) {
    bool found = InAnyCase(linuxPath, [&](Entry entry) {
        return Describe(entry.folder, entry.name, LastComponent(linuxPath), data);
    });
    return found ? Begin(nullptr, 0) : INVALID_HANDLE_VALUE;
}

// A listing of the folder of a mapped pattern that ends in "*" or "*.*",
// which take every name, a name without a dot included.
HANDLE StartListing(const std::string& linuxPattern, WIN32_FIND_DATAW* data) {
    std::string last = LastComponent(linuxPattern);
    if (last.find_first_of("*?") == std::string::npos) {
        return FindEntry(linuxPattern, data);
    }
    if (last != "*" && last != "*.*") {
        std::fprintf(stderr,
                     "gantrel: the emulated FindFirstFileW lists \"*\" and \"*.*\" only; "
                     "refused \"%s\"\n",
                     last.c_str());
        return INVALID_HANDLE_VALUE;
    }
    std::size_t slash = linuxPattern.rfind('/');
    std::string folder = slash == std::string::npos ? "." : linuxPattern.substr(0, slash);
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    int held = HeldFolder(folder.data(), folder.size());
    int fd = held >= 0 ? ::openat(held, ".", flags) : ::open(folder.c_str(), flags);
    if (fd < 0 && errno == ENOENT && FindCase(folder)) {
        fd = ::open(folder.c_str(), flags);
    }
    DIR* opened = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (opened == nullptr) {
        if (fd >= 0) {
            ::close(fd);
        }
        return INVALID_HANDLE_VALUE;
    }
    // A drive's own folder lists no "." and "..".
    Search* search = Begin(opened, DriveFolderLength(folder) == folder.size() ? 0 : 2);
    if (NextEntry(*search, data)) {
        return search;
    }
    EndListing(search);
    return INVALID_HANDLE_VALUE;
}

// An entry handed out, as the trace shows it: its name and attributes.
std::string Listed(const WIN32_FIND_DATAW* data) {
    return Quoted(data->cFileName) + " " + Hex(data->dwFileAttributes);
}

std::string Described(HANDLE handle) {
    return handle == INVALID_HANDLE_VALUE ? "INVALID_HANDLE_VALUE" : Shown(handle);
}

} // namespace

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

using namespace emulated;

HANDLE FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW findData) {
    Operation operation("FindFirstFileW");
    HANDLE result = INVALID_HANDLE_VALUE;
    std::string linuxPattern;
    if (!operation.Faulted() && MapFilePath(pattern, linuxPattern) == 0) {
        result = StartListing(linuxPattern, findData);
    }
    if (operation.Tracing()) {
        operation.Trace(Quoted(pattern), result == INVALID_HANDLE_VALUE
                                             ? Described(result)
                                             : Described(result) + " " + Listed(findData));
    }
    return result;
}

BOOL FindNextFileW(HANDLE handle, LPWIN32_FIND_DATAW findData) {
    Operation operation("FindNextFileW");
    Search* search = static_cast<Search*>(handle);
    BOOL result = !operation.Faulted() && IsOpen(handle) && search->folder != nullptr &&
                  NextEntry(*search, findData);
    if (operation.Tracing()) {
        operation.Trace(Described(handle), result ? "TRUE " + Listed(findData) : "FALSE");
    }
    return result;
}

BOOL FindClose(HANDLE handle) {
    Operation operation("FindClose");
    BOOL result = !operation.Faulted() && IsOpen(handle);
    if (result) {
        EndListing(static_cast<Search*>(handle));
    }
    if (operation.Tracing()) {
        operation.Trace(Described(handle), result ? "TRUE" : "FALSE");
    }
    return result;
}

} // namespace platform
