// Windows paths to Linux paths, as Wine maps its drives. Internal to the
// backend; the control header sets the drives' folder.
#pragma once

#include <string>

namespace emulated {

// The Linux path a Windows path, given as UTF-8, stands for, or false for one that stands for
// nothing here (a share, an empty path).
//  - "X:\a\b" and "X:a\b" name <drives>/x/a/b, where <drives> is the
//    setting (GANTREL_DRIVES, or SetDriveFolder);
//  - "\a\b", a root without a drive letter, names <drives>/c/a/b;
//  - a relative path is relative to the process's working folder;
//  - backslashes and slashes both separate; "." is dropped and ".." never
//    climbs above a drive's folder, and the last component loses trailing
//    dots and spaces, as on Windows;
//  - "\\?\X:\a\b", the verbatim form, names <drives>/x/a/b with every
//    component exactly as it stands;
//  - a path that is not verbatim and ends in a device's name ("con",
//    "nul.txt", "COM1") stands for the device, and so for nothing here.
// `driveRoot`, when given, learns whether the path names a drive's folder
// itself ("X:", "X:\", "\").
bool MapPath(const char* windowsPath, std::string& linuxPath, bool* driveRoot = nullptr);

// How much of a mapped Linux path is a drive's folder ("<drives>/x"), or 0
// for a path outside the drives.
std::size_t DriveFolderLength(const std::string& linuxPath);

} // namespace emulated
