// The code pages of the emulated platform, and text between them, UTF-8 and
// UTF-16, for every name it keeps: registry names and file names. Each keeper
// says what becomes of what a conversion cannot carry. Internal to the
// backend and the host's dump.
#pragma once

#include "PlatformTypes.h"

#include <string>

namespace emulated {

struct DoubleByteCodePage {
    UINT codePage;
    BYTE ranges[MAX_LEADBYTES];
};

// Lead-byte ranges as GetCPInfo reports them: pairs, ended by a zero pair.
inline constexpr DoubleByteCodePage doubleByteCodePages[] = {
    {932, {0x81, 0x9F, 0xE0, 0xFC}},
    {936, {0x81, 0xFE}},
    {949, {0x81, 0xFE}},
    {950, {0x81, 0xFE}},
    {1361, {0x84, 0xD3, 0xD8, 0xDE, 0xE0, 0xF9}},
    {20932, {0x8E, 0x8E, 0xA1, 0xFE}},
};

inline constexpr UINT singleByteCodePages[] = {437,  850,  852,  866,  874,  1250, 1251,  1252,
                                               1253, 1254, 1255, 1256, 1257, 1258, 20127, 28591};

// The ANSI code page GetACP answers, asked without counting as an operation.
UINT AnsiCodePage();

// Code page number of UTF-8, as Windows numbers it.
const UINT utf8CodePage = 65001;

// What becomes of a byte a code page leaves undefined, of a byte that starts
// no UTF-8 character, and of half a UTF-16 surrogate pair.
enum class Unconvertible {
    // Kept: a byte as the lone surrogate U+DC00 + byte (U+DC80 to U+DCFF),
    // which no real name holds, and back as the same byte; half a pair as it
    // is.
    kept,
    // Replaced by U+FFFD, or by '?' in a code page.
    replaced,
};

// Whether the text is plain ASCII, which every code page and UTF-8 write
// alike: such text needs no conversion.
bool IsAscii(const char* text, std::size_t length);
inline bool IsAscii(const std::string& text) {
    return IsAscii(text.data(), text.size());
}

// Text in `codePage` as UTF-8. iconv knows the code pages; in one it does
// not know, only ASCII is defined.
std::string Utf8FromCodePage(const char* text, std::size_t length, UINT codePage,
                             Unconvertible undefined);
// UTF-8 as text in `codePage`: '?' for each UTF-16 unit of a character the
// code page cannot carry, as Windows converts them.
std::string CodePageFromUtf8(const std::string& utf8, UINT codePage, Unconvertible undefined);

std::u16string Utf16FromUtf8(const std::string& utf8, Unconvertible undefined);
std::string Utf8FromUtf16(const char16_t* text, std::size_t length, Unconvertible undefined);

} // namespace emulated
