// The registry control's UTF-8 paths: keys named in any script, for tests
// of the calls that reach them.
#include "NameEncoding.h"
#include "RegistryControl.h"
#include "RegistryState.h"

namespace emulated {
namespace {

std::shared_ptr<RegistryKey> KeyAtUtf8(HKEY root, const std::string& path, bool make) {
    std::shared_ptr<RegistryKey> key;
    std::vector<std::string> components;
    if (KeyOfHandle(root, key) != ERROR_SUCCESS || !IsPredefinedRoot(root) ||
        !SplitRegistryPath(path, utf8CodePage, components)) {
        return nullptr;
    }
    bool created = false;
    return make ? MakeRegistryKey(key, components, created) : FindRegistryKey(key, components);
}

} // namespace

void SeedRegistryKeyUtf8(HKEY root, const std::string& path) {
    if (KeyAtUtf8(root, path, true) != nullptr) {
        RegistryChanged();
    }
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
