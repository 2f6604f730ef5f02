// Windows paths to Linux paths, as Wine maps its drives, and names as Wine
// keeps them: UTF-8 on disk, UTF-16 to the wide calls, found without regard
// to case. Left out: shares, devices (a device's name reaches no file) and
// short names.
#include "Paths.h"

#include "CodePageTables.h"
#include "CodePageText.h"
#include "Control.h"
#include "Operations.h"

#include <algorithm>
#include <cctype>
#include <clocale>
#include <cstring>
#include <cwctype>
#include <dirent.h>
#include <locale.h>
#include <string_view>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace emulated {
namespace {

// The longest path the wide calls take, in UTF-16 units.
const std::size_t maxWidePath = 32767;

std::string driveFolder; // empty: take the environment's

std::string DriveFolder() {
    if (!driveFolder.empty()) {
        return driveFolder;
    }
    const char* setting = Setting("GANTREL_DRIVES");
    return setting != nullptr ? setting : "";
}

// "<drives>/x" for the drive letter `letter`, or "" while no drives are set.
std::string DriveOf(char letter) {
    std::string base = DriveFolder();
    if (!base.empty()) {
        base += '/';
        base += static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
    }
    return base;
}

bool HasDriveLetter(std::string_view path) {
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
    if (base == "con" || base == "prn" || base == "aux" || base == "nul") {
        return true;
    }
    return base.size() == 4 && (base.compare(0, 3, "com") == 0 || base.compare(0, 3, "lpt") == 0) &&
           base[3] >= '1' && base[3] <= '9';
}

// "\\?\X:\a\b": the path exactly as it stands, with backslashes only and
// no component folded or resolved. "." and ".." cannot be names of entries,
// so a path with them stands for nothing; nor does "\\?\UNC\...".
bool MapVerbatimPath(std::string_view path, std::string& linuxPath, bool* driveRoot) {
    if (!HasDriveLetter(path) || (path.size() > 2 && path[2] != '\\')) {
        return false;
    }
    std::string mapped = DriveOf(path[0]);
    if (mapped.empty()) {
        return false;
    }
    for (std::size_t start = 3; start < path.size();) {
        std::size_t end = std::min(path.find_first_of("\\/", start), path.size());
        std::string_view name = path.substr(start, end - start);
        if (name.empty() || name == "." || name == ".." ||
            (end < path.size() && path[end] == '/')) {
            return false;
        }
        mapped += '/';
        mapped += name;
        start = end + 1;
    }
    if (driveRoot != nullptr) {
        *driveRoot = path.size() <= 3;
    }
    linuxPath = std::move(mapped);
    return true;
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

// Whether two UTF-8 names are the same name to Windows, case aside. A byte
// that starts no character matches only the same byte.
bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
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

DWORD MapChecked(bool tooLong, const std::string& utf8, std::string& linuxPath, bool* driveRoot) {
    if (tooLong) {
        return errorFilenameTooLong;
    }
    return MapPath(utf8.c_str(), linuxPath, driveRoot) ? 0 : ERROR_PATH_NOT_FOUND;
}

} // namespace

void SetDriveFolder(const std::string& folder) {
    driveFolder = folder;
}

std::size_t DriveFolderLength(const std::string& linuxPath) {
    std::string base = DriveFolder();
    if (base.empty() || linuxPath.size() < base.size() + 2 ||
        linuxPath.compare(0, base.size(), base) != 0 || linuxPath[base.size()] != '/') {
        return 0;
    }
    return base.size() + 2;
}

bool MapPath(const char* windowsPath, std::string& linuxPath, bool* driveRoot) {
    if (windowsPath == nullptr || windowsPath[0] == 0) {
        return false;
    }
    if (std::strncmp(windowsPath, "\\\\?\\", 4) == 0) {
        return MapVerbatimPath(windowsPath + 4, linuxPath, driveRoot);
    }
    // The path is UTF-8 by now, where no byte of a longer character has the
    // code of a separator.
    const std::string path = windowsPath;
    auto isSeparator = [&path](std::size_t i) { return path[i] == '\\' || path[i] == '/'; };
    if (isSeparator(0) && path.size() > 1 && isSeparator(1)) {
        return false; // a share, or a device path: nothing here stands for one
    }
    std::size_t lastSeparator = path.find_last_of("\\/:");
    if (IsDeviceName(lastSeparator == std::string::npos ? path : path.substr(lastSeparator + 1))) {
        return false;
    }
    std::string base;
    std::size_t rest = 0;
    bool rooted = true;
    if (HasDriveLetter(path)) {
        base = DriveOf(path[0]);
        rest = 2;
    } else if (isSeparator(0)) {
        base = DriveOf('c');
    } else {
        rooted = false;
    }
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
        if (part == "..") {
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
    if (!parts.empty() && parts.back() != ".." && !isSeparator(path.size() - 1)) {
        std::size_t kept = parts.back().find_last_not_of(". ");
        if (kept == std::string::npos) {
            parts.pop_back();
        } else {
            parts.back().erase(kept + 1);
        }
    }
    if (driveRoot != nullptr) {
        *driveRoot = rooted && parts.empty();
    }
    linuxPath = base;
    for (const std::string& each : parts) {
        if (!linuxPath.empty()) {
            linuxPath += '/';
        }
        linuxPath += each;
    }
    if (linuxPath.empty()) {
        linuxPath = ".";
    }
    return true;
}

DWORD MapFilePath(const WCHAR* windowsPath, std::string& linuxPath, bool* driveRoot) {
    std::size_t length = 0;
    while (windowsPath != nullptr && windowsPath[length] != 0) {
        ++length;
    }
    bool verbatim = length >= 4 && windowsPath[0] == '\\' && windowsPath[1] == '\\' &&
                    windowsPath[2] == '?' && windowsPath[3] == '\\';
    bool tooLong = length > maxWidePath || (!verbatim && length >= MAX_PATH);
    return MapChecked(tooLong, tooLong ? "" : Utf8FromWide(windowsPath, length), linuxPath,
                      driveRoot);
}

DWORD MapFilePath(const char* windowsPath, std::string& linuxPath) {
    std::size_t length = windowsPath != nullptr ? std::strlen(windowsPath) : 0;
    bool tooLong = length >= MAX_PATH;
    return MapChecked(tooLong, tooLong || length == 0 ? "" : Utf8FromAnsi(windowsPath, length),
                      linuxPath, nullptr);
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

std::string Utf8FromCodePage(UINT codePage, const char* text, std::size_t length) {
    return Utf8FromCodePage(text, length, codePage, Unconvertible::replaced);
}

std::string Utf8FromAnsi(const char* ansi, std::size_t length) {
    return Utf8FromCodePage(AnsiCodePage(), ansi, length);
}

std::string Utf8FromWide(const WCHAR* wide, std::size_t length) {
    // Half a pair becomes U+FFFD: Linux names are UTF-8 and cannot hold it.
    return Utf8FromUtf16(wide, length, Unconvertible::replaced);
}

std::u16string WideFromUtf8(const std::string& utf8) {
    return Utf16FromUtf8(utf8, Unconvertible::replaced);
}

std::string Quoted(const WCHAR* windowsPath) {
    if (windowsPath == nullptr) {
        return "NULL";
    }
    std::size_t length = 0;
    while (windowsPath[length] != 0) {
        ++length;
    }
    return Quoted(Utf8FromWide(windowsPath, length).c_str());
}

} // namespace emulated
