// The paths the folder walk hands the wide calls: the ANSI path converted
// once, and its verbatim form, which the platform takes exactly as it
// stands. Internal to fs/.
#pragma once

#include "TextString.h"
#include "WideText.h"

void AppendAscii(WideText& text, const char* ascii);

// The ANSI path as the wide calls take it, converted with the ANSI code page.
WideText WideFromAnsi(const TextString& path);

// The verbatim form of a full path: "X:\a\b" gives "\\?\X:\a\b" and
// "\\server\share\a" gives "\\?\UNC\server\share\a", read as the ANSI calls
// read them (either slash separates, and the last component loses its
// trailing dots and spaces), so that the folder removed is the one the path
// names. A path already verbatim stays as it is; one with no verbatim form
// (a relative one) is taken as the platform's path rules read it.
WideText VerbatimPath(const WideText& path);
