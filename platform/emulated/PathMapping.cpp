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
    if (isSeparator(path[0]) && path.size() > 1 && isSeparator(path[1])) {
        return false; // a share, or a device path: nothing here stands for one
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
