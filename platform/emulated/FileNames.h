// Names of files as Wine keeps them: UTF-8 on disk, seen through the ANSI
// code page by the ANSI calls and as UTF-16 by the wide calls, found without
// regard to case. Internal to the backend.
#pragma once

#include "PlatformTypes.h"

#include <string>

namespace emulated {

// ANSI text in the ANSI code page as UTF-8. A byte sequence the code page
// does not define becomes U+FFFD, a name no file has.
std::string Utf8FromAnsi(const char* ansi, std::size_t length);
std::string Utf8FromCodePage(UINT codePage, const char* text, std::size_t length);
// A UTF-8 name as the ANSI calls see it: '?' for each UTF-16 unit of a
// character the code page cannot carry, as Windows reports it.
std::string AnsiFromUtf8(const std::string& utf8);

std::string Utf8FromWide(const WCHAR* wide, std::size_t length);
std::u16string WideFromUtf8(const std::string& utf8);

// Whether two UTF-8 names are the same name to Windows, case aside.
bool SameNameIgnoringCase(const std::string& a, const std::string& b);

// Whether a path component names a device ("con", "NUL.txt", "com1") when
// it ends a path that is not verbatim.
bool IsDeviceName(const std::string& component);

// Finds the entries of `linuxPath` below `knownFolder` (a prefix of it that
// exists, such as the drive's folder) without regard to case, as Windows
// finds them: "D:\X" reaches <drives>/d/x. True when the spelling on disk
// differs and `linuxPath` now holds it; false leaves it unchanged.
bool FindCaseOnDisk(std::string& linuxPath, std::size_t knownFolder);

} // namespace emulated
