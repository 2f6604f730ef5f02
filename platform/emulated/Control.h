// Control of the emulated platform, for tests and the host stand-in only.
//
// The module itself never includes this header. Each setting can also come
// from the environment when the module is loaded by a host (see README):
// the in-process calls here override the environment.
#pragma once

#include "PlatformTypes.h"

#include <cstdio>
#include <string>
#include <vector>

namespace emulated {

// Puts every setting back to its default and forgets injected faults.
void ResetPlatform();

// --- Code page: the ANSI code page GetACP answers (GANTREL_CODEPAGE, 1252
// by default). GetCPInfo knows the single-byte and East Asian code pages.
void SetCodePage(UINT codePage);

// --- Sockets library (GANTREL_SOCKETS = real | no-library | no-export |
// startup-fails | version:0xHHHH). `Real` starts when a socket can be made.
enum class SocketsBehaviour { Real, NoLibrary, NoExport, StartupFails, OtherVersion };
void SetSocketsBehaviour(SocketsBehaviour behaviour, WORD answeredVersion = 0x0101);
// The folder GetSystemDirectoryA answers (C:\WINDOWS\system32), where the
// sockets library is found by its full path.
void SetSystemFolder(const std::string& folder);
// Libraries loaded and not yet freed, and start-ups not yet cleaned up.
int LoadedLibraryCount();
int SocketsStartupCount();

// --- Fault injection: the nth platform operation from now (1 = the next)
// fails with the given kind, as the real operation fails for that reason.
// Only operations whose name matches `operation` count when it is given.
enum class FaultKind { None, AccessDenied, InUse, NotFound, OutOfMemory };
void InjectFault(long nth, FaultKind kind, const char* operation = nullptr);
void ClearFaults();
// The operation the injected fault was taken by, or "" while none was.
const std::string& FaultedOperation();
// Platform operations made since the last reset.
long OperationCount();

// --- Trace: every platform operation, its arguments and its status, one
// line each, to `out` (GANTREL_TRACE=1 traces to standard error). Null stops.
void SetTrace(std::FILE* out);

// --- Drives: drive X: is the folder <folder>/x, and a root without a drive
// letter is drive C: (GANTREL_DRIVES). Tests always point it into a scratch
// folder, so that no path can reach the machine's own files.
void SetDriveFolder(const std::string& folder);

// --- The registry. Roots are HKEY_CLASSES_ROOT, HKEY_CURRENT_USER and
// HKEY_LOCAL_MACHINE; paths are relative to them, with backslashes. Nothing
// here counts as a platform operation: no fault is taken, nothing is traced.

// --- The registry file: GANTREL_REGISTRY, read at first use, in a process
// that has not reset the platform; after ResetPlatform, none until chosen.
// Empties the registry and loads it from `path` now; "" keeps the registry
// in memory only. Every operation then reads the changes other processes
// made to the file and appends its own, under the file's lock. False for a
// file that cannot be read, is not a regular file, or is malformed: the
// reason goes to standard error and to `error`, every registry operation
// fails (ERROR_BADDB) until the file is mended, and it is never written.
bool UseRegistryFile(const std::string& path, std::string* error = nullptr);
// Why the registry file was refused; empty when it was not.
std::string RegistryFileError();
// Changes refused because the file could not take them (read-only, full,
// failing): the first one is reported on standard error, once.
long RegistryChangesRefused();
// The whole registry as the REGEDIT4 text the file holds.
std::string RegistryText();

// --- Seeding and inspecting state.
void SeedRegistryKey(HKEY root, const std::string& path);
// Creates or replaces a value (with its key and missing parents).
void SeedRegistryValue(HKEY root, const std::string& path, const std::string& name, DWORD type,
                       const std::string& bytes);
bool RegistryKeyExists(HKEY root, const std::string& path);
// False when the key or the value does not exist.
bool ReadRegistryValue(HKEY root, const std::string& path, const std::string& name, DWORD& type,
                       std::string& bytes);
// Names in registry order, in the case they were first given; empty when
// the key does not exist.
std::vector<std::string> RegistrySubKeyNames(HKEY root, const std::string& path);
std::vector<std::string> RegistryValueNames(HKEY root, const std::string& path);
// Paths and names in UTF-8, whatever the code page: keys named with
// characters the ANSI code page cannot carry. The names above are the ANSI
// view of the same keys, with '?' for such characters.
void SeedRegistryKeyUtf8(HKEY root, const std::string& path);
bool RegistryKeyExistsUtf8(HKEY root, const std::string& path);
std::vector<std::string> RegistrySubKeyNamesUtf8(HKEY root, const std::string& path);

// --- Behaviour. Every operation that opens, creates, reads, writes or
// deletes the key at `path` or any key below it fails with
// ERROR_ACCESS_DENIED.
void DenyRegistryAccess(HKEY root, const std::string& path);

// Key handles opened and not yet closed.
int OpenRegistryKeyCount();

// --- The file system. The file system is the real one under the drives'
// folder (SetDriveFolder): tests make their trees with ordinary Linux calls
// and look at what is left.

// From now until the next reset, DeleteFileW and RemoveDirectoryW fail on
// this path (a Windows path, mapped as the file operations map it) as they
// fail on Windows for that reason: InUse as for a file another program holds
// open (ERROR_SHARING_VIOLATION), AccessDenied as for a protected one. False
// when the path stands for nothing here.
bool FailRemovalOf(const char* windowsPath, FaultKind kind);

// From now until the next reset, symbolic links are followed as Wine
// follows them: CreateFileW opens a link's target even with
// FILE_FLAG_OPEN_REPARSE_POINT, and the handle describes the target;
// RemoveDirectoryW on a link to a folder removes that folder when it is
// empty and leaves the link. The listing still shows the link.
void FollowLinksAsWineDoes(bool on);

// Listings started with FindFirstFileW and not yet ended with FindClose.
int OpenSearchCount();
// Files and folders opened with CreateFileA or CreateFileW and not yet
// closed.
int OpenFileCount();

// --- Message boxes and windows. Who answers a message box: the scripted
// answers while any are left (from this header, or GANTREL_ANSWERS:
// "yes,no,..."), one per box in the order the boxes appear; once a script
// was given and is used up, or when none was given and standard input is no
// terminal, every box is answered No (IDNO, or IDOK for a box with only an
// OK button). Only a module loaded by a host with no script and a terminal
// on standard input asks on that terminal. After ResetPlatform no box ever
// asks on the terminal: tests never wait for a person.

// One message box as the module showed it, and the button that answered it.
struct ShownMessageBox {
    HWND owner;
    std::string text;
    std::string caption;
    UINT style;
    int answer;
};

// Appends an answer to the script: true for Yes (or OK), false for No.
void ScriptAnswer(bool yes);
// Every box shown since the last reset, oldest first.
const std::vector<ShownMessageBox>& ShownMessageBoxes();

// A top-level window of this class is open from now until the next reset
// (GANTREL_WINDOWS: "Class,Class,..."). Class names compare without regard to
// ASCII case, as window classes do.
void OpenWindow(const char* className);

} // namespace emulated
