// Text between the ANSI code pages, UTF-8 and UTF-16, for every name the
// emulated platform keeps: registry names (NameEncoding.h) and file names
// (Paths.h). Each keeper says what becomes of what a conversion cannot
// carry. Internal to the backend and the host's dump.
#pragma once

#include "PlatformTypes.h"

#include <string>

namespace emulated {

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

// The character at `at` and how many bytes it takes. A sequence that is not
// well formed UTF-8 (lone surrogates aside) reads as a kept byte one byte
// long, or as U+FFFD taking the bytes it began.
char32_t DecodeUtf8(const std::string& text, std::size_t at, std::size_t& length,
                    Unconvertible undefined);
void AppendUtf8(std::string& out, char32_t c);

std::u16string Utf16FromUtf8(const std::string& utf8, Unconvertible undefined);
std::string Utf8FromUtf16(const char16_t* text, std::size_t length, Unconvertible undefined);

} // namespace emulated
