// Control of the emulated file system, for tests and the host stand-in only.
// Included by EmulatedControl.h.
//
// The file system is the real one under the drives' folder (SetDriveFolder):
// tests make their trees with ordinary Linux calls and look at what is left.
#pragma once

#include "PlatformTypes.h"

namespace emulated {

enum class FaultKind;

// From now until the next reset, DeleteFileA and RemoveDirectoryA fail on
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

// The status the last failed file operation of this thread left, as
// GetLastError would answer it.
DWORD LastFileError();

// Listings started with FindFirstFileA and not yet ended with FindClose.
int OpenSearchCount();
// Files and folders opened with CreateFileA or CreateFileW and not yet
// closed.
int OpenFileCount();

} // namespace emulated
