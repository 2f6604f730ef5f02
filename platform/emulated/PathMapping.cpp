#include "PathMapping.h"

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
    std::size_t start = 3;
    while (start < path.size()) {
        std::size_t end = path.find('\\', start);
        std::string part = path.substr(start, end == std::string::npos ? end : end - start);
        if (part.empty() || part == "." || part == ".." || part.find('/') != std::string::npos) {
            return false;
        }
        mapped += '/' + part;
        start = end == std::string::npos ? path.size() : end + 1;
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
    std::size_t start = 3;
    for (std::size_t i = 3; i <= path.size(); ++i) {
        if (i < path.size() && path[i] == '/') {
            return false;
        }
        if (i == path.size() || path[i] == '\\') {
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
        linuxPath += path[i] == '\\' ? '/' : path[i];
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
    auto isSeparator = [](char c) { return c == '\\' || c == '/'; };
    if (path.compare(0, 4, "\\\\?\\") == 0) {
        return MapVerbatimPath(path.substr(4), linuxPath, driveRoot);
    }
    if (isSeparator(path[0]) && path.size() > 1 && isSeparator(path[1])) {
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
    } else if (isSeparator(path[0])) {
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
        if (i == path.size() || isSeparator(path[i])) {
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
    if (!parts.empty() && parts.back() != ".." && !isSeparator(path.back())) {
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
