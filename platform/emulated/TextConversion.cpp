// Text between the code pages, UTF-8 and UTF-16. iconv converts the code
// pages, a run at a time; the UTF-16 side is plain arithmetic. Plain
// functions, which the host's dump shares.
#include "CodePages.h"

#include <cerrno>
#include <iconv.h>

namespace emulated {
namespace {

const char32_t keptByteBase = 0xDC00;
const char32_t replacementCharacter = 0xFFFD;

bool IsKeptByte(char32_t c) {
    return c >= keptByteBase + 0x80 && c <= keptByteBase + 0xFF;
}

// The character at `at` and how many bytes it takes. A sequence that is not
// well formed UTF-8 (lone surrogates aside) reads as a kept byte one byte
// long, or as U+FFFD taking the bytes it began.
char32_t DecodeUtf8(const std::string& text, std::size_t at, std::size_t& length,
                    Unconvertible undefined) {
    static const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    unsigned char first = static_cast<unsigned char>(text[at]);
    if (first < 0x80) {
        length = 1;
        return first;
    }
    std::size_t need = first >= 0xF8   ? 0
                       : first >= 0xF0 ? 4
                       : first >= 0xE0 ? 3
                       : first >= 0xC0 ? 2
                                       : 0;
    char32_t c = first & (0x7F >> need);
    std::size_t taken = 1;
    while (taken < need && at + taken < text.size() &&
           (static_cast<unsigned char>(text[at + taken]) & 0xC0) == 0x80) {
        c = c << 6 | (static_cast<unsigned char>(text[at + taken]) & 0x3F);
        ++taken;
    }
    if (need != 0 && taken == need && c >= smallest[need] && c <= 0x10FFFF) {
        length = need;
        return c;
    }
    if (undefined == Unconvertible::kept) {
        length = 1;
        return keptByteBase + first;
    }
    length = taken;
    return replacementCharacter;
}

void AppendUtf8(std::string& out, char32_t c) {
    static const unsigned char leads[] = {0x00, 0xC0, 0xE0, 0xF0};
    int more = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
    out += static_cast<char>(leads[more] | c >> (6 * more));
    for (int shift = 6 * (more - 1); shift >= 0; shift -= 6) {
        out += static_cast<char>(0x80 | (c >> shift & 0x3F));
    }
}

std::string IconvName(UINT codePage) {
    return codePage == 1361           ? "JOHAB"
           : codePage == 20127        ? "ASCII"
           : codePage == 20932        ? "EUC-JP"
           : codePage == 28591        ? "ISO-8859-1"
           : codePage == utf8CodePage ? "UTF-8"
                                      : "CP" + std::to_string(codePage);
}

// A converter between UTF-8 and the code page, for one conversion: a code
// page iconv does not know gets its ASCII part at least. Null when not even
// that opens.
iconv_t OpenConverter(UINT codePage, bool toUtf8) {
    for (const std::string& name : {IconvName(codePage), std::string("ASCII")}) {
        iconv_t opened =
            toUtf8 ? iconv_open("UTF-8", name.c_str()) : iconv_open(name.c_str(), "UTF-8");
        if (opened != reinterpret_cast<iconv_t>(-1)) {
            return opened;
        }
    }
    return nullptr;
}

void CloseConverter(iconv_t converter) {
    if (converter != nullptr) {
        iconv_close(converter);
    }
}

// Converts what `in` holds as far as it can; answers how many input bytes
// were taken.
std::size_t Convert(iconv_t converter, const char* in, std::size_t size, std::string& out) {
    if (converter == nullptr) {
        return 0;
    }
    char buffer[256];
    char* from = const_cast<char*>(in);
    std::size_t left = size;
    for (;;) {
        char* to = buffer;
        std::size_t room = sizeof buffer;
        std::size_t result = iconv(converter, &from, &left, &to, &room);
        out.append(buffer, static_cast<std::size_t>(to - buffer));
        if (result != static_cast<std::size_t>(-1) || errno != E2BIG) {
            break;
        }
    }
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    return size - left;
}

} // namespace

bool IsAscii(const char* text, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        if (static_cast<unsigned char>(text[i]) >= 0x80) {
            return false;
        }
    }
    return true;
}

std::string Utf8FromCodePage(const char* text, std::size_t length, UINT codePage,
                             Unconvertible undefined) {
    if (IsAscii(text, length)) {
        return std::string(text, length);
    }
    iconv_t converter = OpenConverter(codePage, true);
    std::string utf8;
    std::size_t at = 0;
    while (at < length) {
        at += Convert(converter, text + at, length - at, utf8);
        if (at < length) {
            AppendUtf8(utf8, undefined == Unconvertible::kept
                                 ? keptByteBase + static_cast<unsigned char>(text[at])
                                 : replacementCharacter);
            ++at;
        }
    }
    CloseConverter(converter);
    return utf8;
}

std::string CodePageFromUtf8(const std::string& utf8, UINT codePage, Unconvertible undefined) {
    if (IsAscii(utf8)) {
        return utf8;
    }
    iconv_t converter = OpenConverter(codePage, false);
    std::string text;
    std::size_t at = 0;
    while (at < utf8.size()) {
        at += Convert(converter, utf8.data() + at, utf8.size() - at, text);
        if (at < utf8.size()) {
            std::size_t length = 1;
            char32_t c = DecodeUtf8(utf8, at, length, undefined);
            if (undefined == Unconvertible::kept && IsKeptByte(c)) {
                text += static_cast<char>(c - keptByteBase);
            } else {
                text += c > 0xFFFF ? "??" : "?";
            }
            at += length;
        }
    }
    CloseConverter(converter);
    return text;
}

std::u16string Utf16FromUtf8(const std::string& utf8, Unconvertible undefined) {
    std::u16string text;
    text.reserve(utf8.size());
    for (std::size_t at = 0, length = 0; at < utf8.size(); at += length) {
        char32_t c = DecodeUtf8(utf8, at, length, undefined);
        if (c > 0xFFFF) {
            c -= 0x10000;
            text += static_cast<char16_t>(0xD800 + (c >> 10));
            text += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            text += static_cast<char16_t>(c);
        }
    }
    return text;
}

std::string Utf8FromUtf16(const char16_t* text, std::size_t length, Unconvertible undefined) {
    std::string utf8;
    utf8.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (c >= 0xD800 && c <= 0xDFFF && undefined == Unconvertible::replaced) {
            c = replacementCharacter;
        }
        AppendUtf8(utf8, c);
    }
    return utf8;
}

} // namespace emulated
