// The emulated registry's key tree: its names, paths and changes, plain data
// that the calls, the registry file and the host's dump all build on.
#include "Registry.h"

#include <algorithm>

namespace emulated {
namespace {

unsigned char UpperAscii(unsigned char c) {
    return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

std::shared_ptr<RegistryKey> MakeRoot(const char* name) {
    auto root = std::make_shared<RegistryKey>();
    root->name = name;
    return root;
}

} // namespace

bool RegistryNameLess::operator()(const std::string& a, const std::string& b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return UpperAscii(static_cast<unsigned char>(x)) <
               UpperAscii(static_cast<unsigned char>(y));
    });
}

bool SameRegistryName(const std::string& a, const std::string& b) {
    RegistryNameLess less;
    return !less(a, b) && !less(b, a);
}

RegistryRoots::RegistryRoots()
    : classesRoot(MakeRoot("HKEY_CLASSES_ROOT")), currentUser(MakeRoot("HKEY_CURRENT_USER")),
      localMachine(MakeRoot("HKEY_LOCAL_MACHINE")) {}

std::shared_ptr<RegistryKey> RootNamed(const RegistryRoots& roots, const std::string& name) {
    static const char* const shortNames[] = {"HKCR", "HKCU", "HKLM"};
    const std::shared_ptr<RegistryKey>* all[] = {&roots.classesRoot, &roots.currentUser,
                                                 &roots.localMachine};
    for (std::size_t i = 0; i < 3; ++i) {
        if (SameRegistryName(name, (*all[i])->name) || SameRegistryName(name, shortNames[i])) {
            return *all[i];
        }
    }
    return nullptr;
}

std::vector<std::shared_ptr<RegistryKey>> AllRoots(const RegistryRoots& roots) {
    return {roots.classesRoot, roots.currentUser, roots.localMachine};
}

std::string NameFromAnsi(const std::string& text, UINT codePage) {
    return codePage == utf8CodePage
               ? text
               : Utf8FromCodePage(text.data(), text.size(), codePage, Unconvertible::kept);
}

std::string NameToAnsi(const std::string& name, UINT codePage) {
    return codePage == utf8CodePage ? name : CodePageFromUtf8(name, codePage, Unconvertible::kept);
}

bool CodePageCarries(const std::string& name, UINT codePage) {
    // Whatever comes back as it was: a '?' does not, nor a kept byte that
    // the code page reads as a character of its own.
    return codePage == utf8CodePage || IsAscii(name) ||
           NameFromAnsi(NameToAnsi(name, codePage), codePage) == name;
}

bool SplitRegistryPath(const std::string& text, UINT codePage,
                       std::vector<std::string>& components) {
    // Windows turns the path into Unicode before it looks for separators, so
    // the second byte of a double-byte character never is one; plain ASCII
    // is the same in every code page and needs no conversion.
    const std::string path = IsAscii(text) ? text : NameFromAnsi(text, codePage);
    components.clear();
    if (!path.empty() && path[0] == '\\') {
        return false;
    }
    for (std::size_t start = 0; start < path.size();) {
        std::size_t end = std::min(path.find('\\', start), path.size());
        if (end > start) {
            components.push_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return true;
}

std::shared_ptr<RegistryKey> FindRegistryKey(const std::shared_ptr<RegistryKey>& from,
                                             const std::vector<std::string>& components) {
    std::shared_ptr<RegistryKey> key = from;
    for (const std::string& component : components) {
        auto child = key->keys.find(component);
        if (child == key->keys.end()) {
            return nullptr;
        }
        key = child->second;
    }
    return key;
}

std::shared_ptr<RegistryKey> MakeRegistryKey(const std::shared_ptr<RegistryKey>& from,
                                             const std::vector<std::string>& components) {
    std::shared_ptr<RegistryKey> key = from;
    for (const std::string& component : components) {
        std::shared_ptr<RegistryKey>& child = key->keys[component];
        if (child == nullptr) {
            child = std::make_shared<RegistryKey>();
            child->name = component;
            child->parent = key.get();
        }
        key = child;
    }
    return key;
}

void RemoveRegistryKey(RegistryKey& key) {
    RegistryKey* parent = key.parent;
    if (parent == nullptr) {
        return;
    }
    // The map may hold the last reference to the key.
    std::shared_ptr<RegistryKey> keep = parent->keys.at(key.name);
    parent->keys.erase(key.name);
    key.parent = nullptr;
    // Without recursion: a tree may be deeper than the stack.
    std::vector<RegistryKey*> pending{&key};
    while (!pending.empty()) {
        RegistryKey* below = pending.back();
        pending.pop_back();
        below->deleted = true;
        for (auto& child : below->keys) {
            pending.push_back(child.second.get());
        }
    }
}

void PutRegistryValue(RegistryKey& key, RegistryValue value) {
    auto existing = key.values.find(value.name);
    if (existing == key.values.end()) {
        std::string name = value.name;
        key.values.emplace(std::move(name), std::move(value));
    } else {
        value.name = existing->second.name;
        existing->second = std::move(value);
    }
}

std::string RegistryKeyPath(const RegistryKey& key, const std::vector<std::string>& below) {
    std::vector<const RegistryKey*> chain;
    for (const RegistryKey* at = &key; at != nullptr; at = at->parent) {
        chain.push_back(at);
    }
    std::string path;
    for (auto at = chain.rbegin(); at != chain.rend(); ++at) {
        path += (path.empty() ? "" : "\\") + (*at)->name;
    }
    for (const std::string& component : below) {
        path += "\\" + component;
    }
    return path;
}

std::size_t RegistryKeyDepth(const RegistryKey& key) {
    std::size_t depth = 0;
    for (const RegistryKey* at = key.parent; at != nullptr; at = at->parent) {
        ++depth;
    }
    return depth;
}

} // namespace emulated
