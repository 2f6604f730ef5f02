// gantrel-host dump on Windows: reads the real registry with pure look-ups
// (RegOpenKeyExA never creates a key) and prints it in the canonical form.
#include "HostPlatform.h"
#include "RegistryTree.h"

#include <cstdio>
#include <vector>

namespace {

HKEY RootNamed(const std::string& root) {
    if (root == "HKEY_CLASSES_ROOT") {
        return HKEY_CLASSES_ROOT;
    }
    if (root == "HKEY_CURRENT_USER") {
        return HKEY_CURRENT_USER;
    }
    return HKEY_LOCAL_MACHINE;
}

bool ReadKey(HKEY key, DumpKey& into) {
    DWORD subKeys = 0;
    DWORD longestSubKey = 0;
    DWORD values = 0;
    DWORD longestName = 0;
    DWORD longestData = 0;
    if (::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, &longestSubKey, nullptr,
                           &values, &longestName, &longestData, nullptr, nullptr) != 0) {
        return false;
    }
    // The longest names are counted in Unicode characters; in a double-byte
    // code page each takes up to two bytes of an ANSI name.
    for (DWORD i = 0; i < values; ++i) {
        std::vector<char> name(2 * longestName + 2);
        std::vector<unsigned char> data(longestData + 2);
        DWORD nameSize = static_cast<DWORD>(name.size());
        DWORD dataSize = static_cast<DWORD>(data.size());
        DWORD type = 0;
        if (::RegEnumValueA(key, i, name.data(), &nameSize, nullptr, &type, data.data(),
                            &dataSize) != 0) {
            return false;
        }
        DumpValue value;
        value.name.assign(name.data(), nameSize);
        value.type = type;
        value.data.assign(data.begin(), data.begin() + dataSize);
        into.values.push_back(value);
    }
    for (DWORD i = 0; i < subKeys; ++i) {
        std::vector<char> name(2 * longestSubKey + 2);
        DWORD nameSize = static_cast<DWORD>(name.size());
        if (::RegEnumKeyExA(key, i, name.data(), &nameSize, nullptr, nullptr, nullptr, nullptr) !=
            0) {
            return false;
        }
        DumpKey child;
        child.name.assign(name.data(), nameSize);
        HKEY childKey = nullptr;
        if (::RegOpenKeyExA(key, child.name.c_str(), 0, KEY_READ, &childKey) != 0) {
            return false;
        }
        bool read = ReadKey(childKey, child);
        ::RegCloseKey(childKey);
        if (!read) {
            return false;
        }
        into.keys.push_back(child);
    }
    return true;
}

} // namespace

int DumpRegistry(const HostOptions&, const std::string& key) {
    return PrintRegistryKeys(
        key,
        [](const std::string& root, const std::string& path, DumpKey& tree, bool& found) {
            HKEY opened = nullptr;
            found = ::RegOpenKeyExA(RootNamed(root), path.c_str(), 0, KEY_READ, &opened) == 0;
            if (!found) {
                return 0;
            }
            bool read = ReadKey(opened, tree);
            ::RegCloseKey(opened);
            if (!read) {
                std::fprintf(stderr, "gantrel-host: cannot read the key %s\\%s\n", root.c_str(),
                             path.c_str());
                return 1;
            }
            return 0;
        },
        stdout);
}
