#include "PathMapping.h"

#include "CodePageTables.h"
#include "EmulatedControl.h"
#include "Operations.h"

#include <cctype>
#include <vector>

namespace emulated {
namespace {

std::string driveFolder; // empty: take the environment's

std::string DriveFolder() {
    if (!driveFolder.empty()) {
        return driveFolder;
    }
    const char* setting = Setting("GANTREL_DRIVES");
    return setting != nullptr ? setting : "";
}

// Which bytes of the path separate its components. The platform reads a
// path as text in the ANSI code page, so the second byte of a double-byte
// character is never a separator, even where it has the backslash's code.
std::vector<bool> Separators(const std::string& path) {
    std::vector<bool> separators(path.size() + 1, false);
    UINT codePage = AnsiCodePage();
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (IsLeadByteIn(codePage, static_cast<unsigned char>(path[i])) && i + 1 < path.size()) {
            ++i;
        } else {
            separators[i] = path[i] == '\\' || path[i] == '/';
        }
    }
    return separators;
}

// "\\?\X:\a\b": the path exactly as it stands, with backslashes only and
// no component folded or resolved. "." and ".." cannot be names of entries,
// so a path with them stands for nothing; nor does "\\?\UNC\...".
bool MapVerbatimPath(const std::string& path, std::string& linuxPath, bool* driveRoot) {
    if (path.size() < 2 || !std::isalpha(static_cast<unsigned char>(path[0])) || path[1] != ':' ||
        (path.size() > 2 && path[2] != '\\') || DriveFolder().empty()) {
        return false;
    }
    std::string mapped =
        DriveFolder() + '/' + static_cast<char>(std::tolower(static_cast<unsigned char>(path[0])));
    std::vector<bool> separators = Separators(path);
    std::size_t start = 3;
    while (start < path.size()) {
        std::size_t end = start;
        while (end < path.size() && !separators[end]) {
            ++end;
        }
        std::string part = path.substr(start, end - start);
        if (part.empty() || part == "." || part == ".." ||
            (end < path.size() && path[end] == '/')) {
            return false;
        }
        mapped += '/' + part;
        start = end + 1;
    }
    if (driveRoot != nullptr) {
        *driveRoot = path.size() <= 3;
    }
    linuxPath = mapped;
    return true;
}

// The common case, a full path below a drive's root with nothing to resolve
// or fold ("X:\a\b"), mapped in one pass. False when the path needs the
// general rules.
bool MapPlainDrivePath(const std::string& path, std::string& linuxPath, bool* driveRoot) {
    if (path.size() < 4 || !std::isalpha(static_cast<unsigned char>(path[0])) || path[1] != ':' ||
        path[2] != '\\') {
        return false;
    }
    std::vector<bool> separators = Separators(path);
    std::size_t start = 3;
    for (std::size_t i = 3; i <= path.size(); ++i) {
        if (i < path.size() && separators[i] && path[i] == '/') {
            return false;
        }
        if (i == path.size() || separators[i]) {
            std::size_t length = i - start;
            if (length == 0 || path[i - 1] == '.' || path[i - 1] == ' ') {
                return false; // empty, ".", "..", or a name that folds
            }
            start = i + 1;
        }
    }
    std::string base = DriveFolder();
    if (base.empty()) {
        return false;
    }
    linuxPath = base;
    linuxPath += '/';
    linuxPath += static_cast<char>(std::tolower(static_cast<unsigned char>(path[0])));
    for (std::size_t i = 2; i < path.size(); ++i) {
        linuxPath += separators[i] ? '/' : path[i];
    }
    if (driveRoot != nullptr) {
        *driveRoot = false;
    }
    return true;
}

} // namespace

void SetDriveFolder(const std::string& folder) {
    driveFolder = folder;
}

bool MapPath(const char* windowsPath, std::string& linuxPath, bool* driveRoot) {
    if (windowsPath == nullptr || windowsPath[0] == 0) {
        return false;
    }
    std::string path = windowsPath;
    std::vector<bool> separators = Separators(path);
    auto isSeparator = [&](std::size_t i) { return separators[i]; };
    if (path.compare(0, 4, "\\\\?\\") == 0) {
        return MapVerbatimPath(path.substr(4), linuxPath, driveRoot);
    }
    if (isSeparator(0) && path.size() > 1 && isSeparator(1)) {
        return false; // a share, or a device path: nothing here stands for one
    }
    if (MapPlainDrivePath(path, linuxPath, driveRoot)) {
        return true;
    }

    std::string base;
    std::size_t rest = 0;
    bool rooted = true;
    if (path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':') {
        base = DriveFolder();
        if (base.empty()) {
            return false;
        }
        base += '/';
        base += static_cast<char>(std::tolower(static_cast<unsigned char>(path[0])));
        rest = 2;
    } else if (isSeparator(0)) {
        base = DriveFolder();
        if (base.empty()) {
            return false;
        }
        base += "/c";
    } else {
        rooted = false;
    }

    std::vector<std::string> parts;
    std::string part;
    for (std::size_t i = rest; i <= path.size(); ++i) {
        if (i == path.size() || isSeparator(i)) {
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
        } else {
            part += path[i];
        }
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

} // namespace emulated
