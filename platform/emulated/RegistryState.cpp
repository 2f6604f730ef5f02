// The emulated registry's state, its file, its handles, and the control API.
#include "RegistryState.h"

#include "Backend.h"
#include "CodePageTables.h"
#include "NameEncoding.h"
#include "Operations.h"
#include "RegistryControl.h"
#include "RegistryFile.h"

#include <cstdio>
#include <iterator>
#include <map>

namespace emulated {
namespace {

struct OpenHandle {
    std::shared_ptr<RegistryKey> key;
    // Where the last enumeration through this handle stopped.
    unsigned long generation = 0;
    DWORD index = 0;
    bool cursorValid = false;
    std::map<std::string, std::shared_ptr<RegistryKey>, RegistryNameLess>::const_iterator cursor;
};

struct RegistryState {
    std::unique_ptr<RegistryRoots> roots;
    bool loaded = false;
    bool fileChosen = false; // false: GANTREL_REGISTRY names the file
    std::string file;
    std::string fileError;
    bool removesTree = false;
    std::vector<std::string> denied; // full paths, upper-cased
    std::map<uintptr_t, OpenHandle> handles;
    uintptr_t nextHandle = 0x1000;
};

RegistryState state;

std::string UpperAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

void Load() {
    state.loaded = true;
    state.roots.reset(new RegistryRoots());
    state.fileError.clear();
    if (!state.fileChosen) {
        const char* setting = Setting("GANTREL_REGISTRY");
        state.file = setting != nullptr ? setting : "";
    }
    if (state.file.empty()) {
        return;
    }
    std::string error;
    if (!LoadRegistryFile(state.file, AnsiCodePage(), *state.roots, error)) {
        state.fileError = error;
        state.roots.reset();
        std::fprintf(stderr, "gantrel: %s; every registry operation fails until it is mended\n",
                     error.c_str());
    }
}

std::shared_ptr<RegistryKey> RootKey(HKEY root) {
    RegistryRoots* roots = Registry();
    if (roots == nullptr) {
        return nullptr;
    }
    if (root == HKEY_CLASSES_ROOT) {
        return roots->classesRoot;
    }
    if (root == HKEY_CURRENT_USER) {
        return roots->currentUser;
    }
    if (root == HKEY_LOCAL_MACHINE) {
        return roots->localMachine;
    }
    return nullptr;
}

std::shared_ptr<RegistryKey> FindByPath(HKEY root, const std::string& path) {
    std::shared_ptr<RegistryKey> key = RootKey(root);
    std::vector<std::string> components;
    if (key == nullptr || !SplitRegistryPath(path, AnsiCodePage(), components)) {
        return nullptr;
    }
    return FindRegistryKey(key, components);
}

std::shared_ptr<RegistryKey> MakeByPath(HKEY root, const std::string& path) {
    std::shared_ptr<RegistryKey> key = RootKey(root);
    std::vector<std::string> components;
    if (key == nullptr || !SplitRegistryPath(path, AnsiCodePage(), components)) {
        return nullptr;
    }
    bool created = false;
    return MakeRegistryKey(key, components, created);
}

} // namespace

RegistryRoots* Registry() {
    if (!state.loaded) {
        Load();
    }
    return state.roots.get();
}

void RegistryChanged() {
    if (state.file.empty() || state.roots == nullptr) {
        return;
    }
    std::string error;
    if (!SaveRegistryFile(state.file, *state.roots, error)) {
        std::fprintf(stderr, "gantrel: the registry cannot be saved: %s\n", error.c_str());
    }
}

bool IsPredefinedRoot(HKEY handle) {
    return handle == HKEY_CLASSES_ROOT || handle == HKEY_CURRENT_USER ||
           handle == HKEY_LOCAL_MACHINE;
}

LONG KeyOfHandle(HKEY handle, std::shared_ptr<RegistryKey>& key) {
    key = nullptr;
    if (IsPredefinedRoot(handle)) {
        key = RootKey(handle);
        return key != nullptr ? ERROR_SUCCESS : errorBadRegistryFile;
    }
    auto open = state.handles.find(reinterpret_cast<uintptr_t>(handle));
    if (open == state.handles.end()) {
        return ERROR_INVALID_HANDLE;
    }
    key = open->second.key;
    return key->deleted ? ERROR_KEY_DELETED : ERROR_SUCCESS;
}

HKEY OpenKeyHandle(const std::shared_ptr<RegistryKey>& key) {
    uintptr_t handle = state.nextHandle;
    state.nextHandle += 4;
    state.handles[handle].key = key;
    return reinterpret_cast<HKEY>(handle);
}

bool CloseKeyHandle(HKEY handle) {
    return state.handles.erase(reinterpret_cast<uintptr_t>(handle)) == 1;
}

const RegistryKey* SubKeyAt(HKEY handle, const RegistryKey& key, DWORD index) {
    if (index >= key.keys.size()) {
        return nullptr;
    }
    auto open = state.handles.find(reinterpret_cast<uintptr_t>(handle));
    if (open == state.handles.end()) {
        // A predefined root: no cursor to keep, walk from the start.
        return std::next(key.keys.begin(), static_cast<long>(index))->second.get();
    }
    OpenHandle& entry = open->second;
    if (!entry.cursorValid || entry.generation != key.generation || index < entry.index) {
        entry.cursor = key.keys.begin();
        entry.index = 0;
    }
    entry.cursor = std::next(entry.cursor, static_cast<long>(index - entry.index));
    entry.index = index;
    entry.generation = key.generation;
    entry.cursorValid = true;
    return entry.cursor->second.get();
}

bool IsAccessDenied(const RegistryKey& key, const std::vector<std::string>& below) {
    if (state.denied.empty()) {
        return false;
    }
    std::string path = RegistryKeyPath(key);
    for (const std::string& component : below) {
        path += "\\" + component;
    }
    path = UpperAscii(path) + "\\";
    for (const std::string& denied : state.denied) {
        if (path.compare(0, denied.size(), denied) == 0) {
            return true;
        }
    }
    return false;
}

bool IsAccessDeniedWithin(const RegistryKey& key) {
    if (state.denied.empty()) {
        return false;
    }
    std::string path = UpperAscii(RegistryKeyPath(key)) + "\\";
    for (const std::string& denied : state.denied) {
        if (denied.compare(0, path.size(), path) == 0) {
            return true;
        }
    }
    return false;
}

bool DeleteRemovesTree() {
    return state.removesTree;
}

void ResetRegistry() {
    // After a reset the registry lives in memory only: a test never writes to
    // a file GANTREL_REGISTRY happens to name, unless it asks for one.
    state = RegistryState();
    state.fileChosen = true;
}

bool UseRegistryFile(const std::string& path, std::string* error) {
    state.handles.clear();
    state.fileChosen = true;
    state.file = path;
    Load();
    if (error != nullptr) {
        *error = state.fileError;
    }
    return state.roots != nullptr;
}

std::string RegistryFileError() {
    Registry();
    return state.fileError;
}

std::string RegistryText() {
    RegistryRoots* roots = Registry();
    return roots != nullptr ? WriteRegistryText(*roots) : std::string();
}

void SeedRegistryKey(HKEY root, const std::string& path) {
    if (MakeByPath(root, path) != nullptr) {
        RegistryChanged();
    }
}

void SeedRegistryValue(HKEY root, const std::string& path, const std::string& ansiName, DWORD type,
                       const std::string& bytes) {
    std::shared_ptr<RegistryKey> key = MakeByPath(root, path);
    if (key == nullptr) {
        return;
    }
    std::string name = NameFromAnsi(ansiName, AnsiCodePage());
    auto existing = key->values.find(name);
    if (existing == key->values.end()) {
        existing = key->values.emplace(name, RegistryValue()).first;
        existing->second.name = name;
    }
    existing->second.type = type;
    existing->second.bytes = bytes;
    RegistryChanged();
}

bool RegistryKeyExists(HKEY root, const std::string& path) {
    return FindByPath(root, path) != nullptr;
}

bool ReadRegistryValue(HKEY root, const std::string& path, const std::string& name, DWORD& type,
                       std::string& bytes) {
    std::shared_ptr<RegistryKey> key = FindByPath(root, path);
    if (key == nullptr) {
        return false;
    }
    auto value = key->values.find(NameFromAnsi(name, AnsiCodePage()));
    if (value == key->values.end()) {
        return false;
    }
    type = value->second.type;
    bytes = value->second.bytes;
    return true;
}

std::vector<std::string> RegistrySubKeyNames(HKEY root, const std::string& path) {
    std::vector<std::string> names;
    std::shared_ptr<RegistryKey> key = FindByPath(root, path);
    if (key != nullptr) {
        for (const auto& child : key->keys) {
            names.push_back(NameToAnsi(child.second->name, AnsiCodePage()));
        }
    }
    return names;
}

std::vector<std::string> RegistryValueNames(HKEY root, const std::string& path) {
    std::vector<std::string> names;
    std::shared_ptr<RegistryKey> key = FindByPath(root, path);
    if (key != nullptr) {
        for (const auto& value : key->values) {
            names.push_back(NameToAnsi(value.second.name, AnsiCodePage()));
        }
    }
    return names;
}

void SetDeleteRemovesTree(bool removesTree) {
    state.removesTree = removesTree;
}

void DenyRegistryAccess(HKEY root, const std::string& path) {
    std::shared_ptr<RegistryKey> key = RootKey(root);
    std::vector<std::string> components;
    if (key == nullptr || !SplitRegistryPath(path, AnsiCodePage(), components)) {
        return;
    }
    std::string full = key->name;
    for (const std::string& component : components) {
        full += "\\" + component;
    }
    state.denied.push_back(UpperAscii(full) + "\\");
}

int OpenRegistryKeyCount() {
    return static_cast<int>(state.handles.size());
}

} // namespace emulated
