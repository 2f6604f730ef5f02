// Names as the registry keeps them: a byte that a code page leaves undefined
// is kept as the lone surrogate U+DC00 + byte, which no real name holds, so
// that it comes back as the same byte.
#include "NameEncoding.h"

namespace emulated {

std::string NameFromAnsi(const std::string& text, UINT codePage) {
    if (codePage == utf8CodePage) {
        return text;
    }
    return Utf8FromCodePage(text.data(), text.size(), codePage, Unconvertible::kept);
}

std::string NameToAnsi(const std::string& name, UINT codePage) {
    if (codePage == utf8CodePage) {
        return name;
    }
    return CodePageFromUtf8(name, codePage, Unconvertible::kept);
}

bool CodePageCarries(const std::string& name, UINT codePage) {
    // Whatever comes back as it was: a '?' does not, nor a kept byte that
    // the code page reads as a character of its own.
    return codePage == utf8CodePage || IsAscii(name) ||
           NameFromAnsi(NameToAnsi(name, codePage), codePage) == name;
}

std::u16string NameToUtf16(const std::string& name) {
    return Utf16FromUtf8(name, Unconvertible::kept);
}

std::string NameFromUtf16(const char16_t* text, std::size_t length) {
    return Utf8FromUtf16(text, length, Unconvertible::kept);
}

} // namespace emulated
