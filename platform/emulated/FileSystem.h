// What the listing and the removal operations of the emulated file system
// share: how a Linux entry looks as Windows attributes, how a Linux error
// reads as a Windows one, and the thread's last error. Internal to the
// backend.
#pragma once

#include "Control.h"
#include "Operations.h"

#include <string>
#include <sys/stat.h>

namespace emulated {

// The status the ANSI file functions give for a path of MAX_PATH bytes or
// more; they refuse such paths before looking at the disk.
const DWORD errorFilenameTooLong = 206; // ERROR_FILENAME_EXCED_RANGE

// Windows attributes of an entry, from its lstat record. `name` is its last
// path component: dot-files are hidden, as Wine shows them. A link is a
// reparse point, with the directory bit when it leads to a folder (learnt
// with stat, which reads the target's kind and touches nothing); a link is
// never read-only, since Linux gives links no permissions of their own.
DWORD AttributesOf(const struct stat& entry, const char* name, bool leadsToFolder);

// The Windows status for an errno of a failed Linux call.
DWORD ErrorFromErrno(int error);
// The Windows status of an injected fault, from the file family's table.
DWORD ErrorFromFault(FaultKind kind);

void SetLastFileError(DWORD error);

// An operation of the file family: an injected fault is left at once as the
// thread's last error, and the operation then does nothing more.
class FileOperation : public Operation {
  public:
    explicit FileOperation(const char* name) : Operation(name) {
        if (Faulted()) {
            SetLastFileError(ErrorFromFault(Fault()));
        }
    }
};

// Maps a path argument of an ANSI file operation: the ANSI text read in the
// ANSI code page, refusing what the ANSI functions refuse (MAX_PATH bytes or
// more, verbatim or not) and what stands for nothing here. Sets the last
// error and answers false on refusal.
bool MapFilePath(const char* windowsPath, std::string& linuxPath, bool* driveRoot = nullptr);
// The same for a wide operation: a verbatim path may be as long as the
// platform's limit of 32,767 units, any other stays below MAX_PATH.
bool MapFilePath(const WCHAR* windowsPath, std::string& linuxPath, bool* driveRoot = nullptr);
// A wide Windows path as the trace shows it, in UTF-8.
std::string Quoted(const WCHAR* windowsPath);

// Looks a mapped path up on disk without regard to case, as Windows finds
// names. True when the spelling on disk differs and `linuxPath` now holds
// it. Called once a lookup by the exact spelling has failed.
bool FindCase(std::string& linuxPath);

// The open folder of a listing in progress whose Linux path is the first
// `length` bytes of `folder`, or -1. The removals reach the entries of the
// folder being walked through it rather than looking the whole path up again.
int ListedFolder(const char* folder, std::size_t length);

// The status the listing walking `folderFd` read for `name`, if that is the
// entry it handed out last: the file removal takes it rather than reading
// it again. Taken once; ForgetListedStatus drops every one after a change.
bool TakeListedStatus(int folderFd, const char* name, struct stat& status);
void ForgetListedStatus();

// An entry as the *at calls take it: the open folder of a listing or of a
// held handle that stands for its parent, if there is one, and the name in
// it; else the whole path. Whatever happens to the parent's path, the entry
// is then looked for in the folder that was opened.
struct Entry {
    int folder;
    const char* name;
};
Entry Locate(const std::string& linuxPath);

// The descriptor of a folder held open by CreateFileW whose Linux path is the
// first `length` bytes of `folder`, or -1.
int HeldFolder(const char* folder, std::size_t length);
// Whether a handle holds this path open without sharing its deletion.
bool HeldWithoutDeleteSharing(const std::string& linuxPath);
// Closes a handle CreateFileW gave; false for any other handle.
bool CloseHeldHandle(HANDLE handle);
// Forgets every handle CreateFileW gave.
void CloseAllHeldHandles();
int HeldHandleCount();
// Whether FollowLinksAsWineDoes is on.
bool LinksFollowedAsWineDoes();

FILETIME FileTimeOf(const struct timespec& time);

// Ends every listing still open: a reset forgets them, and their handles are
// refused from then on.
void EndAllListings();

// The fault the control API set for removals of this Linux path, if any.
FaultKind RemovalFaultFor(const std::string& linuxPath);

} // namespace emulated
