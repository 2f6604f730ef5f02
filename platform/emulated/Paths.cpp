// Windows paths mapped to Linux paths, and names looked up without regard to
// case, as Files.h promises. Left out: short names.
#include "CodePages.h"
#include "Files.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <cwctype>
#include <dirent.h>
#include <locale.h>
#include <sys/stat.h>
#include <vector>

namespace emulated {
namespace {

std::string driveFolder; // empty: take the environment's

std::string DriveFolder() {
    const char* setting = Setting("GANTREL_DRIVES");
    return !driveFolder.empty() ? driveFolder : setting != nullptr ? setting : "";
}

// "<drives>/x" for the drive letter `letter`, or "" while no drives are set.
std::string DriveOf(char letter) {
    std::string base = DriveFolder();
    return base.empty()
               ? base
               : base + '/' + static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
}

bool HasDriveLetter(const std::string& path) {
    return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

// Whether a path component names a device ("con", "NUL.txt", "com1") when
// it ends a path that is not verbatim.
bool IsDeviceName(const std::string& component) {
    std::string base = component.substr(0, component.find('.'));
    base.erase(base.find_last_not_of(' ') + 1);
    for (char& c : base) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 0x20 : c);
    }
    return base == "con" || base == "prn" || base == "aux" || base == "nul" ||
           (base.size() == 4 &&
            (base.compare(0, 3, "com") == 0 || base.compare(0, 3, "lpt") == 0) && base[3] >= '1' &&
            base[3] <= '9');
}

// Whether two UTF-8 names are the same name to Windows, which compares them
// unit by unit in UTF-16 through an upper-case table, as NTFS does. A byte
// that starts no character matches only the same byte.
bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
    static locale_t unicode = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    auto upper = [](char16_t unit) {
        return unit < 0x80 || unicode == static_cast<locale_t>(0)
                   ? static_cast<wint_t>(unit >= 'a' && unit <= 'z' ? unit - 0x20 : unit)
                   : ::towupper_l(unit, unicode);
    };
    std::u16string first = Utf16FromUtf8(a, Unconvertible::kept);
    std::u16string second = Utf16FromUtf8(b, Unconvertible::kept);
    return first.size() == second.size() &&
           std::equal(first.begin(), first.end(), second.begin(),
                      [&upper](char16_t x, char16_t y) { return upper(x) == upper(y); });
}

// Wide text as UTF-8: half a pair becomes U+FFFD, a name no file has (Linux
// names are UTF-8 and cannot hold half a pair). ANSI text is read the same
// way in the ANSI code page.
std::string Utf8FromWide(const WCHAR* wide, std::size_t length) {
    return Utf8FromUtf16(wide, length, Unconvertible::replaced);
}

// The Linux path a Windows path, given as UTF-8, stands for, or false for
// one that stands for nothing here (see MapFilePath).
bool MapPath(const char* windowsPath, std::string& linuxPath) {
    if (windowsPath == nullptr || windowsPath[0] == 0) {
        return false;
    }
    // A verbatim path has backslashes only, and no component folded or resolved.
    const bool verbatim = std::strncmp(windowsPath, "\\\\?\\", 4) == 0;
    // The path is UTF-8 by now, where no byte of a longer character has the
    // code of a separator.
    const std::string path = windowsPath + (verbatim ? 4 : 0);
    auto isSeparator = [&path](std::size_t i) { return path[i] == '\\' || path[i] == '/'; };
    if (verbatim && (!HasDriveLetter(path) || (path.size() > 2 && path[2] != '\\') ||
                     path.find('/') != std::string::npos)) {
        return false; // "\\?\UNC\...", or no verbatim form at all
    }
    std::size_t lastSeparator = path.find_last_of("\\/:");
    if (!verbatim && ((isSeparator(0) && path.size() > 1 && isSeparator(1)) ||
                      IsDeviceName(path.substr(lastSeparator + 1)))) {
        return false; // a share or a device: nothing here stands for one
    }
    const bool lettered = HasDriveLetter(path), rooted = lettered || isSeparator(0);
    const std::string base = lettered ? DriveOf(path[0]) : rooted ? DriveOf('c') : "";
    const std::size_t rest = lettered ? (verbatim ? 3 : 2) : 0;
    if (rooted && base.empty()) {
        return false;
    }

    std::vector<std::string> parts;
    std::string part;
    for (std::size_t i = rest; i <= path.size(); ++i) {
        if (i < path.size() && !isSeparator(i)) {
            part += path[i];
            continue;
        }
        if (verbatim && (part == "." || part == ".." || (part.empty() && i < path.size()))) {
            return false; // "." and ".." cannot be names of entries, nor can ""
        }
        if (part == ".." && !verbatim) {
            if (!parts.empty() && parts.back() != "..") {
                parts.pop_back();
            } else if (!rooted) {
                parts.push_back(part);
            }
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        part.clear();
    }
    // Then, as Windows does, the last component loses its trailing dots and
    // spaces: "a\..." and "a\.. " are "a" itself, "a\b." is "a\b".
    if (!verbatim && !parts.empty() && parts.back() != ".." && !isSeparator(path.size() - 1)) {
        std::size_t kept = parts.back().find_last_not_of(". ");
        if (kept == std::string::npos) {
            parts.pop_back();
        } else {
            parts.back().erase(kept + 1);
        }
    }
    linuxPath = base;
    for (const std::string& each : parts) {
        linuxPath += (linuxPath.empty() ? "" : "/") + each;
    }
    if (linuxPath.empty()) {
        linuxPath = ".";
    }
    return true;
}

} // namespace

void SetDriveFolder(const std::string& folder) {
    driveFolder = folder;
}

std::size_t DriveFolderLength(const std::string& linuxPath) {
    std::string base = DriveFolder();
    bool inside = !base.empty() && linuxPath.size() >= base.size() + 2 &&
                  linuxPath.compare(0, base.size(), base) == 0 && linuxPath[base.size()] == '/';
    return inside ? base.size() + 2 : 0;
}

DWORD MapFilePath(const WCHAR* windowsPath, std::string& linuxPath) {
    std::size_t length = windowsPath != nullptr ? std::char_traits<WCHAR>::length(windowsPath) : 0;
    bool verbatim =
        length >= 4 && std::char_traits<WCHAR>::compare(windowsPath, u"\\\\?\\", 4) == 0;
    if (length > 32767 || (!verbatim && length >= MAX_PATH)) { // in UTF-16 units
        return errorFilenameTooLong;
    }
    return MapPath(Utf8FromWide(windowsPath, length).c_str(), linuxPath) ? 0 : ERROR_PATH_NOT_FOUND;
}

DWORD MapFilePath(const char* windowsPath, std::string& linuxPath) {
    std::size_t length = windowsPath != nullptr ? std::strlen(windowsPath) : 0;
    if (length >= MAX_PATH) {
        return errorFilenameTooLong;
    }
    return length > 0 && MapPath(Utf8FromCodePage(windowsPath, length, AnsiCodePage(),
                                                  Unconvertible::replaced)
                                     .c_str(),
                                 linuxPath)
               ? 0
               : ERROR_PATH_NOT_FOUND;
}

bool FindCase(std::string& linuxPath) {
    std::size_t known = DriveFolderLength(linuxPath);
    if (known == 0 || known >= linuxPath.size() || linuxPath[known] != '/') {
        return false;
    }
    std::string found = linuxPath.substr(0, known);
    bool changed = false;
    for (std::size_t start = known + 1; start <= linuxPath.size();) {
        std::size_t end = std::min(linuxPath.find('/', start), linuxPath.size());
        std::string name = linuxPath.substr(start, end - start);
        struct stat entry;
        if (::lstat((found + '/' + name).c_str(), &entry) != 0) {
            DIR* folder = ::opendir(found.c_str());
            if (folder == nullptr) {
                return false; // no folder there: the rest cannot be found either
            }
            std::string match;
            while (struct dirent* listed = ::readdir(folder)) {
                if (SameNameIgnoringCase(name, listed->d_name)) {
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

std::string Quoted(const WCHAR* windowsPath) {
    return windowsPath == nullptr
               ? "NULL"
               : Quoted(Utf8FromWide(windowsPath, std::char_traits<WCHAR>::length(windowsPath))
                            .c_str());
}

} // namespace emulated
