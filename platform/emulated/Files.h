// What the emulated file calls share: Windows paths mapped to Linux as Wine
// maps its drives, names as Wine keeps them (UTF-8 on disk, UTF-16 to the
// wide calls, found without regard to case), entries as Windows attributes,
// and entries reached through the folder a handle holds. Internal to the
// backend. No call leaves a status for GetLastError, which the seam does not
// have; the trace shows it.
#pragma once

#include "Operations.h"
#include "PlatformTypes.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>

namespace emulated {

const DWORD errorFilenameTooLong = 206; // ERROR_FILENAME_EXCED_RANGE, for a path too long

// Maps the path argument of a wide file call to the Linux path it stands
// for: 0, or the status the call fails with for a path standing for nothing.
//  - "X:\a\b" and "X:a\b" name <drives>/x/a/b (SetDriveFolder), "\a\b" names
//    <drives>/c/a/b, and a relative path is relative to the working folder;
//  - backslashes and slashes both separate; "." is dropped and ".." never
//    climbs above a drive's folder, and the last component loses trailing
//    dots and spaces, as on Windows;
//  - "\\?\X:\a\b", the verbatim form, names <drives>/x/a/b with every
//    component exactly as it stands, and may be as long as the platform's
//    limit of 32,767 units; any other path stays below MAX_PATH;
//  - a share stands for nothing, and so does a path that is not verbatim
//    and ends in a device's name ("con", "nul.txt", "COM1").
DWORD MapFilePath(const WCHAR* windowsPath, std::string& linuxPath);
// The same for an ANSI call: the text read in the ANSI code page, below
// MAX_PATH bytes, verbatim or not.
DWORD MapFilePath(const char* windowsPath, std::string& linuxPath);

// How much of a mapped Linux path is a drive's folder ("<drives>/x"): 0 for
// a path outside the drives, all of it for a drive's own folder ("X:\").
std::size_t DriveFolderLength(const std::string& linuxPath);

// Looks a mapped path up on disk without regard to case, as Windows finds
// names, once a lookup by the exact spelling has failed: true when the
// spelling on disk differs and `linuxPath` now holds it.
bool FindCase(std::string& linuxPath);

// A wide Windows path as the trace shows it, in UTF-8.
std::string Quoted(const WCHAR* windowsPath);
// A handle as the trace shows it.
inline std::string Shown(HANDLE handle) {
    return Hex(reinterpret_cast<uintptr_t>(handle));
}

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

// An entry as the *at calls take it: the descriptor of its parent where
// CreateFileW holds that folder open, and its name there; else the whole
// path. The entry is then looked for in the folder that was opened, wherever
// its path now leads, and a path longer than Linux takes still reaches it.
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

// A new handle on the descriptor `fd` of the entry at `linuxPath`.
HANDLE KeepHandle(int fd, std::string linuxPath, DWORD shareMode);
// The descriptor a handle holds, or -1 for no handle (any more).
int DescriptorOf(HANDLE handle);
// The descriptor of a folder held open whose Linux path is the first
// `length` bytes of `folder`, or -1.
int HeldFolder(const char* folder, std::size_t length);
// Whether a handle holds this path open without sharing its deletion.
bool HeldWithoutDeleteSharing(const std::string& linuxPath);
extern bool linksFollowedAsWineDoes; // FollowLinksAsWineDoes

// What a reset forgets: every listing and handle, refused from then on.
void EndAllListings();
void CloseAllHandles();

} // namespace emulated
