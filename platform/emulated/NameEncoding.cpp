// Names between the ANSI code pages, UTF-8 and UTF-16. iconv knows the code
// pages; a byte that a code page leaves undefined is kept as the lone
// surrogate U+DC00 + byte (U+DC80 to U+DCFF), which no real name holds, so
// that it comes back as the same byte.
#include "NameEncoding.h"

#include <cerrno>
#include <iconv.h>
#include <map>
#include <mutex>
#include <utility>

namespace emulated {
namespace {

const char32_t keptByteBase = 0xDC00;

bool IsKeptByte(char32_t c) {
    return c >= keptByteBase + 0x80 && c <= keptByteBase + 0xFF;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The character at `at` of a kept name, and how many bytes it takes. Kept
// names are well formed, lone surrogates allowed; a stray byte reads as
// itself.
char32_t DecodeUtf8(const std::string& text, std::size_t at, std::size_t& length) {
    unsigned char first = static_cast<unsigned char>(text[at]);
    std::size_t need = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
    if (need == 1 || at + need > text.size()) {
        length = 1;
        return first < 0x80 ? first : keptByteBase + first;
    }
    char32_t c = first & (0x7F >> need);
    for (std::size_t i = 1; i < need; ++i) {
        c = c << 6 | (static_cast<unsigned char>(text[at + i]) & 0x3F);
    }
    length = need;
    return c;
}

std::string IconvName(UINT codePage) {
    switch (codePage) {
    case 1361:
        return "JOHAB";
    case 20127:
        return "ASCII";
    case 20932:
        return "EUC-JP";
    case 28591:
        return "ISO-8859-1";
    default:
        return "CP" + std::to_string(codePage);
    }
}

std::mutex convertersLock;

// One converter per code page and direction, opened on first use and closed
// when the process ends.
class Converters {
  public:
    Converters() = default;
    Converters(const Converters&) = delete;
    Converters& operator=(const Converters&) = delete;
    ~Converters() {
        for (const auto& opened : converters_) {
            if (opened.second != nullptr) {
                iconv_close(opened.second);
            }
        }
    }

    // Null for a code page iconv does not know.
    iconv_t Get(UINT codePage, bool toUtf8) {
        auto known = converters_.find({codePage, toUtf8});
        if (known != converters_.end()) {
            return known->second;
        }
        std::string name = IconvName(codePage);
        iconv_t opened =
            toUtf8 ? iconv_open("UTF-8", name.c_str()) : iconv_open(name.c_str(), "UTF-8");
        if (opened == reinterpret_cast<iconv_t>(-1)) {
            opened = nullptr;
        }
        converters_[{codePage, toUtf8}] = opened;
        return opened;
    }

  private:
    std::map<std::pair<UINT, bool>, iconv_t> converters_;
};

iconv_t Converter(UINT codePage, bool toUtf8) {
    static Converters converters;
    return converters.Get(codePage, toUtf8);
}

// Converts what `in` holds as far as it can; answers how many input bytes
// were taken.
std::size_t Convert(iconv_t converter, const char* in, std::size_t size, std::string& out) {
    char buffer[64];
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

// The one character in `utf8` as text in the code page; false when the code
// page cannot carry it.
bool CharacterToAnsi(iconv_t converter, const std::string& utf8, std::string& out) {
    if (converter == nullptr) {
        return false;
    }
    std::string converted;
    if (Convert(converter, utf8.data(), utf8.size(), converted) != utf8.size()) {
        return false;
    }
    out += converted;
    return true;
}

} // namespace

bool IsAscii(const std::string& text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

std::string NameFromAnsi(const std::string& text, UINT codePage) {
    if (codePage == utf8CodePage || IsAscii(text)) {
        return text;
    }
    std::lock_guard<std::mutex> hold(convertersLock);
    iconv_t converter = Converter(codePage, true);
    std::string name;
    std::size_t at = 0;
    while (at < text.size()) {
        if (converter != nullptr) {
            at += Convert(converter, text.data() + at, text.size() - at, name);
        }
        if (at < text.size()) {
            // Undefined in the code page: kept as it is.
            AppendUtf8(name, keptByteBase + static_cast<unsigned char>(text[at]));
            ++at;
        }
    }
    return name;
}

std::string NameToAnsi(const std::string& name, UINT codePage) {
    if (codePage == utf8CodePage || IsAscii(name)) {
        return name;
    }
    std::lock_guard<std::mutex> hold(convertersLock);
    iconv_t converter = Converter(codePage, false);
    std::string text;
    for (std::size_t at = 0, length = 0; at < name.size(); at += length) {
        char32_t c = DecodeUtf8(name, at, length);
        if (c < 0x80) {
            text += static_cast<char>(c);
        } else if (IsKeptByte(c)) {
            text += static_cast<char>(c - keptByteBase);
        } else if (!CharacterToAnsi(converter, name.substr(at, length), text)) {
            // One '?' for each UTF-16 unit, as Windows converts them.
            text += c > 0xFFFF ? "??" : "?";
        }
    }
    return text;
}

bool CodePageCarries(const std::string& name, UINT codePage) {
    // Whatever comes back as it was: a '?' does not, nor a kept byte that
    // the code page reads as a character of its own.
    return codePage == utf8CodePage || IsAscii(name) ||
           NameFromAnsi(NameToAnsi(name, codePage), codePage) == name;
}

std::u16string NameToUtf16(const std::string& name) {
    std::u16string text;
    for (std::size_t at = 0, length = 0; at < name.size(); at += length) {
        char32_t c = DecodeUtf8(name, at, length);
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

std::string NameFromUtf16(const char16_t* text, std::size_t length) {
    std::string name;
    for (std::size_t i = 0; i < length; ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        }
        AppendUtf8(name, c);
    }
    return name;
}

} // namespace emulated
