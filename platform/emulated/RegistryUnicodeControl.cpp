// The registry control's UTF-8 paths: keys named in any script, for tests
// of the calls that reach them.
#include "NameEncoding.h"
#include "Control.h"
#include "RegistryFile.h"
#include "RegistryState.h"

namespace emulated {
namespace {

std::shared_ptr<RegistryKey> KeyAtUtf8(HKEY root, const std::string& path, bool make) {
    RegistryAccess access(make);
    std::shared_ptr<RegistryKey> key;
    std::vector<std::string> components;
    if (access.status != ERROR_SUCCESS || KeyOfHandle(root, key) != ERROR_SUCCESS ||
        !IsPredefinedRoot(root) || !SplitRegistryPath(path, utf8CodePage, components)) {
        return nullptr;
    }
    if (!make) {
        return FindRegistryKey(key, components);
    }
    if (SaveRegistryChange(KeyRecord(RegistryPathBelow(*key, components))) != ERROR_SUCCESS) {
        return nullptr;
    }
    bool created = false;
    return MakeRegistryKey(key, components, created);
}

} // namespace

void SeedRegistryKeyUtf8(HKEY root, const std::string& path) {
    KeyAtUtf8(root, path, true);
}

bool RegistryKeyExistsUtf8(HKEY root, const std::string& path) {
    return KeyAtUtf8(root, path, false) != nullptr;
}

std::vector<std::string> RegistrySubKeyNamesUtf8(HKEY root, const std::string& path) {
    std::vector<std::string> names;
    std::shared_ptr<RegistryKey> key = KeyAtUtf8(root, path, false);
    if (key != nullptr) {
        for (const auto& child : key->keys) {
            names.push_back(child.second->name);
        }
    }
    return names;
}

} // namespace emulated
