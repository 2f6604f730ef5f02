// Names of files as Wine keeps them: a byte that the ANSI code page leaves
// undefined, or that starts no UTF-8 character on disk, becomes U+FFFD, a
// name no file has.
#include "FileNames.h"

#include "CodePages.h"

#include <clocale>
#include <cwctype>
#include <dirent.h>
#include <locale.h>
#include <sys/stat.h>

namespace emulated {
namespace {

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

std::string Utf8FromCodePage(UINT codePage, const char* text, std::size_t length) {
    return Utf8FromCodePage(text, length, codePage, Unconvertible::replaced);
}

std::string AnsiFromUtf8(const std::string& utf8) {
    return CodePageFromUtf8(utf8, AnsiCodePage(), Unconvertible::replaced);
}

std::string Utf8FromWide(const WCHAR* wide, std::size_t length) {
    // Half a pair becomes U+FFFD: Linux names are UTF-8 and cannot hold it.
    return Utf8FromUtf16(wide, length, Unconvertible::replaced);
}

std::u16string WideFromUtf8(const std::string& utf8) {
    return Utf16FromUtf8(utf8, Unconvertible::replaced);
}

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        // A byte that starts no character matches only the same byte.
        std::size_t sizeA = 1;
        std::size_t sizeB = 1;
        if (UpperCase(DecodeUtf8(a, i, sizeA, Unconvertible::kept)) !=
            UpperCase(DecodeUtf8(b, j, sizeB, Unconvertible::kept))) {
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
