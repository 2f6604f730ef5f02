// Names of files as Wine keeps them. The conversions between the ANSI code
// page and UTF-8 go through iconv, which knows every code page the platform
// answers GetCPInfo for; the UTF-16 ones are plain arithmetic.
#include "FileNames.h"

#include "CodePageTables.h"

#include <cerrno>
#include <clocale>
#include <cstring>
#include <cwctype>
#include <dirent.h>
#include <iconv.h>
#include <locale.h>
#include <map>
#include <sys/stat.h>
#include <vector>

namespace emulated {
namespace {

const char replacementCharacter[] = "\xEF\xBF\xBD"; // U+FFFD

std::string IconvName(UINT codePage) {
    switch (codePage) {
    case 20127:
        return "ASCII";
    case 28591:
        return "ISO-8859-1";
    case 20932:
        return "EUC-JP";
    default:
        return "CP" + std::to_string(codePage);
    }
}

// One converter each way per code page, opened when first needed and kept
// until the process ends: the walk converts every name it meets.
struct Converters {
    std::map<std::pair<UINT, bool>, iconv_t> open;
    ~Converters() {
        for (auto& each : open) {
            if (each.second != reinterpret_cast<iconv_t>(-1)) {
                ::iconv_close(each.second);
            }
        }
    }
};

iconv_t Converter(UINT codePage, bool toUtf8) {
    static Converters kept;
    std::map<std::pair<UINT, bool>, iconv_t>& converters = kept.open;
    auto known = converters.find({codePage, toUtf8});
    if (known != converters.end()) {
        iconv_t converter = known->second;
        ::iconv(converter, nullptr, nullptr, nullptr, nullptr); // a fresh shift state
        return converter;
    }
    std::string name = IconvName(codePage);
    iconv_t converter =
        toUtf8 ? ::iconv_open("UTF-8", name.c_str()) : ::iconv_open(name.c_str(), "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        // A code page iconv does not know: its ASCII part at least.
        converter = toUtf8 ? ::iconv_open("UTF-8", "ASCII") : ::iconv_open("ASCII", "UTF-8");
    }
    converters[{codePage, toUtf8}] = converter;
    return converter;
}

bool IsAscii(const char* text, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        if (static_cast<unsigned char>(text[i]) >= 0x80) {
            return false;
        }
    }
    return true;
}

// The code point at `at` and the bytes it takes; U+FFFD for a broken one.
char32_t DecodeUtf8(const std::string& text, std::size_t at, std::size_t& size) {
    unsigned char first = static_cast<unsigned char>(text[at]);
    std::size_t length = first < 0x80 ? 1 : first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : 2;
    if (first < 0x80) {
        size = 1;
        return first;
    }
    char32_t code = first & (0x3F >> (length - 1));
    for (std::size_t i = 1; i < length; ++i) {
        if (at + i >= text.size() || (static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) {
            size = i;
            return 0xFFFD;
        }
        code = (code << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3F);
    }
    size = length;
    return code;
}

void EncodeUtf8(char32_t code, std::string& out) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

char32_t UpperCase(char32_t code) {
    static locale_t unicode = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    if (code < 0x80) {
        return code >= 'a' && code <= 'z' ? code - 0x20 : code;
    }
    return unicode != static_cast<locale_t>(0)
               ? static_cast<char32_t>(::towupper_l(static_cast<wint_t>(code), unicode))
               : code;
}

} // namespace

std::string Utf8FromAnsi(const char* ansi, std::size_t length) {
    return Utf8FromCodePage(AnsiCodePage(), ansi, length);
}

std::string Utf8FromCodePage(UINT codePage, const char* ansi, std::size_t length) {
    if (IsAscii(ansi, length)) {
        return std::string(ansi, length);
    }
    iconv_t converter = Converter(codePage, true);
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return replacementCharacter;
    }
    std::string utf8;
    std::vector<char> buffer(length * 4 + 4);
    char* in = const_cast<char*>(ansi);
    std::size_t inLeft = length;
    while (inLeft > 0) {
        char* out = buffer.data();
        std::size_t outLeft = buffer.size();
        std::size_t done = ::iconv(converter, &in, &inLeft, &out, &outLeft);
        utf8.append(buffer.data(), out);
        if (done == static_cast<std::size_t>(-1) && errno != E2BIG) {
            utf8 += replacementCharacter; // a byte the code page does not define
            ++in;
            --inLeft;
        }
    }
    return utf8;
}

std::string AnsiFromUtf8(const std::string& utf8) {
    if (IsAscii(utf8.data(), utf8.size())) {
        return utf8;
    }
    iconv_t converter = Converter(AnsiCodePage(), false);
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return "?";
    }
    std::string ansi;
    std::vector<char> buffer(utf8.size() * 2 + 4);
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    while (inLeft > 0) {
        char* out = buffer.data();
        std::size_t outLeft = buffer.size();
        std::size_t done = ::iconv(converter, &in, &inLeft, &out, &outLeft);
        ansi.append(buffer.data(), out);
        if (done == static_cast<std::size_t>(-1) && errno != E2BIG) {
            std::size_t size = 1;
            char32_t code = DecodeUtf8(utf8, static_cast<std::size_t>(in - utf8.data()), size);
            ansi += code > 0xFFFF ? "??" : "?";
            in += size;
            inLeft -= size;
        }
    }
    return ansi;
}

std::string Utf8FromWide(const WCHAR* wide, std::size_t length) {
    std::string utf8;
    utf8.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        char32_t code = wide[i];
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < length && wide[i + 1] >= 0xDC00 &&
            wide[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
            ++i;
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            code = 0xFFFD; // half a pair: Linux names are UTF-8 and cannot hold it
        }
        EncodeUtf8(code, utf8);
    }
    return utf8;
}

std::u16string WideFromUtf8(const std::string& utf8) {
    std::u16string wide;
    wide.reserve(utf8.size());
    for (std::size_t at = 0; at < utf8.size();) {
        std::size_t size = 1;
        char32_t code = DecodeUtf8(utf8, at, size);
        at += size;
        if (code > 0xFFFF) {
            wide += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
            wide += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            wide += static_cast<char16_t>(code);
        }
    }
    return wide;
}

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        std::size_t sizeA = 1;
        std::size_t sizeB = 1;
        if (UpperCase(DecodeUtf8(a, i, sizeA)) != UpperCase(DecodeUtf8(b, j, sizeB))) {
            return false;
        }
        i += sizeA;
        j += sizeB;
    }
    return i == a.size() && j == b.size();
}

bool IsDeviceName(const std::string& component) {
    std::string base = component.substr(0, component.find('.'));
    base.erase(base.find_last_not_of(' ') + 1);
    for (char& c : base) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 0x20 : c);
    }
    if (base == "con" || base == "prn" || base == "aux" || base == "nul") {
        return true;
    }
    return base.size() == 4 && (base.compare(0, 3, "com") == 0 || base.compare(0, 3, "lpt") == 0) &&
           base[3] >= '1' && base[3] <= '9';
}

bool FindCaseOnDisk(std::string& linuxPath, std::size_t knownFolder) {
    if (knownFolder == 0 || knownFolder >= linuxPath.size() || linuxPath[knownFolder] != '/') {
        return false;
    }
    std::string found = linuxPath.substr(0, knownFolder);
    bool changed = false;
    std::size_t start = knownFolder + 1;
    while (start <= linuxPath.size()) {
        std::size_t end = linuxPath.find('/', start);
        if (end == std::string::npos) {
            end = linuxPath.size();
        }
        std::string name = linuxPath.substr(start, end - start);
        struct stat entry;
        if (::lstat((found + '/' + name).c_str(), &entry) != 0) {
            DIR* folder = ::opendir(found.c_str());
            if (folder == nullptr) {
                return false; // no folder there: the rest cannot be found either
            }
            std::string match;
            while (struct dirent* listed = ::readdir(folder)) {
                if (SameNameIgnoringCase(listed->d_name, name)) {
                    match = listed->d_name;
                    break;
                }
            }
            ::closedir(folder);
            if (match.empty()) {
                return false;
            }
            name = match;
            changed = true;
        }
        found += '/' + name;
        start = end + 1;
    }
    if (changed) {
        linuxPath = found;
    }
    return changed;
}

} // namespace emulated
