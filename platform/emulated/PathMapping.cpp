#include "PathMapping.h"

#include "Control.h"
#include "FileNames.h"
#include "Operations.h"

#include <cctype>
#include <cstring>
#include <string_view>
#include <utility>
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

// Which bytes of the path separate its components. The path is UTF-8 by
// now, where no byte of a longer character has the code of a separator.
std::vector<bool> Separators(const std::string& path) {
    std::vector<bool> separators(path.size() + 1, false);
    for (std::size_t i = 0; i < path.size(); ++i) {
        separators[i] = path[i] == '\\' || path[i] == '/';
    }
    return separators;
}

// Whether the last component of a path that is not verbatim names a device
// ("D:\db\con", "D:\db\NUL.txt"), which no file stands for.
bool EndsInDeviceName(const std::string& path) {
    std::size_t separator = path.find_last_of("\\/:");
    return IsDeviceName(separator == std::string::npos ? path : path.substr(separator + 1));
}

// "\\?\X:\a\b": the path exactly as it stands, with backslashes only and
// no component folded or resolved. "." and ".." cannot be names of entries,
// so a path with them stands for nothing; nor does "\\?\UNC\...".
bool MapVerbatimPath(const std::string_view path, std::string& linuxPath, bool* driveRoot) {
    if (path.size() < 2 || !std::isalpha(static_cast<unsigned char>(path[0])) || path[1] != ':' ||
        (path.size() > 2 && path[2] != '\\') || DriveFolder().empty()) {
        return false;
    }
    std::string mapped = DriveFolder();
    mapped += '/';
    mapped += static_cast<char>(std::tolower(static_cast<unsigned char>(path[0])));
    std::size_t start = 3;
    while (start < path.size()) {
        std::size_t end = path.find_first_of("\\/", start);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        std::size_t length = end - start;
        if (length == 0 || (length == 1 && path[start] == '.') ||
            (length == 2 && path[start] == '.' && path[start + 1] == '.') ||
            (end < path.size() && path[end] == '/')) {
            return false;
        }
        mapped += '/';
        mapped.append(path, start, length);
        start = end + 1;
    }
    if (driveRoot != nullptr) {
        *driveRoot = path.size() <= 3;
    }
    linuxPath = std::move(mapped);
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

std::size_t DriveFolderLength(const std::string& linuxPath) {
    std::string base = DriveFolder();
    if (base.empty() || linuxPath.size() < base.size() + 2 ||
        linuxPath.compare(0, base.size(), base) != 0 || linuxPath[base.size()] != '/') {
        return 0;
    }
    return base.size() + 2;
}

void SetDriveFolder(const std::string& folder) {
    driveFolder = folder;
}

bool MapPath(const char* windowsPath, std::string& linuxPath, bool* driveRoot) {
    if (windowsPath == nullptr || windowsPath[0] == 0) {
        return false;
    }
    if (std::strncmp(windowsPath, "\\\\?\\", 4) == 0) {
        return MapVerbatimPath(windowsPath + 4, linuxPath, driveRoot);
    }
    std::string path = windowsPath;
    std::vector<bool> separators = Separators(path);
    auto isSeparator = [&](std::size_t i) { return separators[i]; };
    if (isSeparator(0) && path.size() > 1 && isSeparator(1)) {
        return false; // a share, or a device path: nothing here stands for one
    }
    if (EndsInDeviceName(path)) {
        return false;
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
