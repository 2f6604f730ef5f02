// What the emulated file calls share: how a Linux entry looks as Windows
// attributes, how a Linux error reads as a Windows status, and how an entry
// is reached through the folder a handle holds. Internal to the backend.
#pragma once

#include "Paths.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>

namespace emulated {

// Windows attributes of an entry, from its lstat record. `name` is its last
// path component: dot-files are hidden, as Wine shows them. A link is a
// reparse point, with the directory bit when it leads to a folder; a link is
// never read-only, since Linux gives links no permissions of their own.
DWORD AttributesOf(const struct stat& entry, const char* name, bool leadsToFolder);

// The Windows status for an errno of a failed Linux call.
DWORD ErrorFromErrno(int error);

inline const char* LastComponent(const std::string& linuxPath) {
    std::size_t slash = linuxPath.rfind('/');
    return linuxPath.c_str() + (slash == std::string::npos ? 0 : slash + 1);
}

// An entry as the *at calls take it: the descriptor of a folder held open
// (CreateFileW) that is its parent, and its name there; else the whole path.
// Whatever happens to the parent's path meanwhile, the entry is then looked
// for in the folder that was opened, and a path longer than Linux takes
// whole still reaches it.
struct Entry {
    int folder;
    const char* name;
};
Entry Locate(const std::string& linuxPath);

// Tries `attempt` on the entry at `linuxPath`, and once more, as Windows
// finds names without regard to case, where the entry is not there by this
// spelling but FindCase found another (which `linuxPath` then holds).
template <typename Attempt> bool InAnyCase(std::string& linuxPath, Attempt attempt) {
    return attempt(Locate(linuxPath)) || ((errno == ENOENT || errno == ENOTDIR) &&
                                          FindCase(linuxPath) && attempt(Locate(linuxPath)));
}

// Whether the entry is, or is a link to, a folder (stat reads the target's
// kind and touches nothing).
inline bool LeadsToFolder(int folder, const char* name) {
    struct stat target;
    return ::fstatat(folder, name, &target, 0) == 0 && S_ISDIR(target.st_mode);
}

// A new handle on the descriptor `fd` of the entry at `linuxPath`, which
// CloseHandle closes.
HANDLE KeepHandle(int fd, std::string linuxPath, DWORD shareMode);
// The descriptor a handle holds, or -1 for no handle (any more).
int DescriptorOf(HANDLE handle);
// The descriptor of a folder held open whose Linux path is the first
// `length` bytes of `folder`, or -1.
int HeldFolder(const char* folder, std::size_t length);
// Whether a handle holds this path open without sharing its deletion.
bool HeldWithoutDeleteSharing(const std::string& linuxPath);
// Whether FollowLinksAsWineDoes is on.
bool LinksFollowedAsWineDoes();

// What a reset forgets: every listing still open and every handle, whose
// values are refused from then on.
void EndAllListings();
void CloseAllHandles();

} // namespace emulated
