// Control of the emulated platform, for tests and the host stand-in only.
//
// The module itself never includes this header. Each setting can also come
// from the environment when the module is loaded by a host (see README):
// the in-process calls here override the environment.
#pragma once

#include "PlatformTypes.h"

#include <cstdio>
#include <string>

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

} // namespace emulated

// The registry, the file system and the user interface have their own
// sections.
#include "RegistryControl.h"
#include "FilesControl.h"
#include "UserInterfaceControl.h"
