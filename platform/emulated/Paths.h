// Windows paths and names as the emulated file calls read them, mapped to
// Linux as Wine maps its drives: drive folders, case, devices, and names kept
// in UTF-8 on disk. Internal to the backend; the control header sets the
// drives' folder.
#pragma once

#include "PlatformTypes.h"

#include <string>

namespace emulated {

// The status a file call gives for a path it refuses by its length.
const DWORD errorFilenameTooLong = 206; // ERROR_FILENAME_EXCED_RANGE

// Maps the path argument of a wide file call to the Linux path it stands
// for: 0, or the status the call fails with for a path that stands for
// nothing here.
//  - "X:\a\b" and "X:a\b" name <drives>/x/a/b, where <drives> is the
//    setting (GANTREL_DRIVES, or SetDriveFolder);
//  - "\a\b", a root without a drive letter, names <drives>/c/a/b;
//  - a relative path is relative to the process's working folder;
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

// How much of a mapped Linux path is a drive's folder ("<drives>/x"), or 0
// for a path outside the drives. All of it for a drive's own folder ("X:\",
// "\").
std::size_t DriveFolderLength(const std::string& linuxPath);

// Looks a mapped path up on disk without regard to case, as Windows finds
// names: "D:\X" reaches <drives>/d/x. True when the spelling on disk differs
// and `linuxPath` now holds it; false leaves it unchanged. Called once a
// lookup by the exact spelling has failed.
bool FindCase(std::string& linuxPath);

// A name on disk as the wide calls show it: a byte that starts no UTF-8
// character becomes U+FFFD, a name no file has.
std::u16string WideFromUtf8(const std::string& utf8);

// A wide Windows path as the trace shows it, in UTF-8.
std::string Quoted(const WCHAR* windowsPath);

} // namespace emulated
