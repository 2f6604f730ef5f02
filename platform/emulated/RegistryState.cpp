// The emulated registry's state: its keys, kept up to date with the shared
// file, its open handles, and the control that seeds, denies and inspects it.
#include "Control.h"
#include "Operations.h"
#include "Registry.h"

#include <cstdio>
#include <map>

namespace emulated {
namespace {

struct RegistryState {
    std::unique_ptr<RegistryRoots> roots;
    bool fileChosen = false; // false: GANTREL_REGISTRY names it, at first use
    RegistryJournal journal;
    std::string fileError;
    std::string errorShown;
    int accesses = 0; // nesting depth of BeginRegistryAccess
    LONG accessStatus = ERROR_SUCCESS;
    bool changing = false;
    long changesRefused = 0;
    bool fileInUtf8 = false;         // names in UTF-8, not the ANSI code page, records too
    std::vector<std::string> denied; // full paths, each with a backslash after it
    std::map<uintptr_t, std::shared_ptr<RegistryKey>> handles;
    uintptr_t nextHandle = 0x1000;
};

RegistryState state;

// A write refused for want of rights, or failing for any other reason.
const FaultStatuses fileWriteFaultStatuses = {ERROR_ACCESS_DENIED, errorRegistryIoFailed,
                                              errorRegistryIoFailed, errorRegistryIoFailed};

// Open handles keep the keys they named when the whole file is read again.
void RebindHandles(RegistryRoots& fresh) {
    for (auto& entry : state.handles) {
        std::shared_ptr<RegistryKey>& key = entry.second;
        std::vector<std::string> components;
        const RegistryKey* root = key.get();
        for (; root->parent != nullptr; root = root->parent) {
            components.insert(components.begin(), root->name);
        }
        std::shared_ptr<RegistryKey> named = key->deleted ? nullptr : RootNamed(fresh, root->name);
        std::shared_ptr<RegistryKey> found = named ? FindRegistryKey(named, components) : nullptr;
        key->deleted = found == nullptr;
        key = found ? found : key;
    }
}

// Every operation fails until the file is mended; the next reads it whole.
void Refuse(const std::string& error) {
    state.roots.reset();
    state.fileError = error;
    if (state.errorShown != error) {
        state.errorShown = error;
        std::fprintf(stderr, "gantrel: %s; every registry operation fails until it is mended\n",
                     error.c_str());
    }
    state.journal.Choose(state.journal.Path());
}

bool IsUtf8File(const std::string& text) {
    return text.compare(0, sizeof utf8FileHeader - 1, utf8FileHeader) == 0;
}

bool Compact(bool inUtf8) {
    std::string text = WriteRegistryText(*state.roots, inUtf8);
    if (!state.journal.Compact(text)) {
        return false;
    }
    state.fileInUtf8 = IsUtf8File(text);
    return true;
}

// False when the file is refused.
bool TakeNews(JournalNews news, const std::string& text) {
    std::string error;
    if (news == JournalNews::Whole) {
        std::unique_ptr<RegistryRoots> fresh(new RegistryRoots());
        if (!ReadRegistryText(text, *fresh, error, AnsiCodePage())) {
            Refuse("the registry file " + state.journal.Path() + " is malformed, " + error);
            return false;
        }
        RebindHandles(*fresh);
        state.roots = std::move(fresh);
        state.fileInUtf8 = IsUtf8File(text);
        state.fileError.clear();
        state.errorShown.clear();
        return true;
    }
    UINT codePage = state.fileInUtf8 ? utf8CodePage : AnsiCodePage();
    if (news == JournalNews::Appended &&
        (state.roots == nullptr || !ReadRegistryText(text, *state.roots, error, codePage, true))) {
        // Read whole, the file says which line is wrong.
        state.journal.Choose(state.journal.Path());
        return false;
    }
    return state.roots != nullptr;
}

LONG LockAndRead(bool change) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        JournalNews news = JournalNews::None;
        std::string text;
        std::string error;
        LONG status = state.journal.Lock(change, news, text, error);
        if (status == errorBadRegistryFile) {
            Refuse(error);
        }
        if (status != ERROR_SUCCESS || TakeNews(news, text)) {
            return status;
        }
        state.journal.Unlock();
    }
    return errorBadRegistryFile;
}

// The registry, up to date with its file; null while the file is refused.
RegistryRoots* Registry() {
    if (state.accesses == 0) {
        RegistryAccess access(false);
    }
    return state.roots.get();
}

bool IsPredefinedRoot(HKEY handle) {
    return handle == HKEY_CLASSES_ROOT || handle == HKEY_CURRENT_USER ||
           handle == HKEY_LOCAL_MACHINE;
}

std::shared_ptr<RegistryKey> RootKey(HKEY root) {
    RegistryRoots* roots = Registry();
    return roots == nullptr             ? nullptr
           : root == HKEY_CLASSES_ROOT  ? roots->classesRoot
           : root == HKEY_CURRENT_USER  ? roots->currentUser
           : root == HKEY_LOCAL_MACHINE ? roots->localMachine
                                        : nullptr;
}

bool RootAndPath(HKEY root, const std::string& path, UINT codePage,
                 std::shared_ptr<RegistryKey>& key, std::vector<std::string>& components) {
    key = RootKey(root);
    return key != nullptr && SplitRegistryPath(path, codePage, components);
}

// With `make`, saved to the file and made with its missing parents.
std::shared_ptr<RegistryKey> KeyAt(HKEY root, const std::string& path, UINT codePage, bool make) {
    RegistryAccess access(make);
    std::shared_ptr<RegistryKey> key;
    std::vector<std::string> components;
    if (!RootAndPath(root, path, codePage, key, components)) {
        return nullptr;
    }
    if (!make) {
        return FindRegistryKey(key, components);
    }
    bool saved = SaveRegistryChange(KeyRecord(RegistryKeyPath(*key, components))) == ERROR_SUCCESS;
    return saved ? MakeRegistryKey(key, components) : nullptr;
}

// The names of the key's sub-keys, or of its values, as text in `codePage`.
std::vector<std::string> NamesAt(HKEY root, const std::string& path, UINT codePage, bool values) {
    std::vector<std::string> names;
    std::shared_ptr<RegistryKey> key = KeyAt(root, path, codePage, false);
    if (key != nullptr && values) {
        for (const auto& value : key->values) {
            names.push_back(NameToAnsi(value.second.name, codePage));
        }
    } else if (key != nullptr) {
        for (const auto& child : key->keys) {
            names.push_back(NameToAnsi(child.second->name, codePage));
        }
    }
    return names;
}

} // namespace

LONG BeginRegistryAccess(bool change) {
    if (state.accesses++ > 0) {
        return state.accessStatus;
    }
    state.changing = change;
    if (!state.fileChosen) {
        state.fileChosen = true;
        const char* setting = Setting("GANTREL_REGISTRY");
        state.journal.Choose(setting != nullptr ? setting : "");
    }
    if (!state.journal.InUse() && state.roots == nullptr) {
        state.roots.reset(new RegistryRoots()); // in memory only
    }
    state.accessStatus = state.journal.InUse() ? LockAndRead(change) : ERROR_SUCCESS;
    return state.accessStatus;
}

void EndRegistryAccess() {
    if (--state.accesses > 0) {
        return;
    }
    if (state.changing && state.roots != nullptr && state.journal.WantsCompaction()) {
        Compact(false);
    }
    state.journal.Unlock();
}

bool RegistryFileInUse() {
    return state.journal.InUse();
}

LONG SaveRegistryChange(const std::string& record) {
    if (!state.journal.InUse()) {
        return ERROR_SUCCESS;
    }
    std::string error;
    LONG status = ERROR_SUCCESS;
    std::string text = record;
    if (!IsAscii(record) && !state.fileInUtf8) {
        // A name the code page cannot carry moves the whole file to UTF-8.
        if (CodePageCarries(record, AnsiCodePage())) {
            text = NameToAnsi(record, AnsiCodePage());
        } else if (state.roots == nullptr || !Compact(true)) {
            status = errorRegistryIoFailed;
            error = "cannot rewrite the registry file " + state.journal.Path() + " in UTF-8";
        }
    }
    if (status == ERROR_SUCCESS) {
        // Counted, faulted and traced as a platform operation of its own.
        Operation operation("WriteRegistryFile");
        text = state.journal.Framed(text);
        status = state.journal.Append(
            text, static_cast<LONG>(operation.FaultStatus(fileWriteFaultStatuses)), error);
        operation.Trace(Quoted(state.journal.Path().c_str()) + ", " + std::to_string(text.size()) +
                            " bytes",
                        std::to_string(status));
    }
    if (status != ERROR_SUCCESS && state.changesRefused++ == 0) {
        std::fprintf(stderr, "gantrel: %s; the registry refuses every change it cannot save\n",
                     error.c_str());
    }
    return status;
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
    key = open->second;
    return key->deleted ? ERROR_KEY_DELETED : ERROR_SUCCESS;
}

HKEY OpenKeyHandle(const std::shared_ptr<RegistryKey>& key) {
    uintptr_t handle = state.nextHandle;
    state.nextHandle += 4;
    state.handles[handle] = key;
    return reinterpret_cast<HKEY>(handle);
}

bool CloseKeyHandle(HKEY handle) {
    return IsPredefinedRoot(handle) ||
           state.handles.erase(reinterpret_cast<uintptr_t>(handle)) == 1;
}

bool IsAccessDenied(const RegistryKey& key, const std::vector<std::string>& below) {
    if (state.denied.empty()) {
        return false;
    }
    std::string path = RegistryKeyPath(key, below) + "\\";
    for (const std::string& denied : state.denied) {
        if (SameRegistryName(path.substr(0, denied.size()), denied)) {
            return true;
        }
    }
    return false;
}

void ResetRegistry() {
    // A test never writes to a file GANTREL_REGISTRY happens to name.
    state.journal.Choose("");
    state = RegistryState();
    state.fileChosen = true;
}

bool UseRegistryFile(const std::string& path, std::string* error) {
    state.handles.clear();
    state.roots.reset();
    state.fileError.clear();
    state.errorShown.clear();
    state.fileChosen = true;
    state.journal.Choose(path);
    Registry();
    if (error != nullptr) {
        *error = state.fileError;
    }
    return state.roots != nullptr;
}

std::string RegistryFileError() {
    Registry();
    return state.fileError;
}

long RegistryChangesRefused() {
    return state.changesRefused;
}

std::string RegistryText() {
    RegistryRoots* roots = Registry();
    return roots != nullptr ? WriteRegistryText(*roots) : std::string();
}

void SeedRegistryKey(HKEY root, const std::string& path) {
    KeyAt(root, path, AnsiCodePage(), true);
}

void SeedRegistryKeyUtf8(HKEY root, const std::string& path) {
    KeyAt(root, path, utf8CodePage, true);
}

void SeedRegistryValue(HKEY root, const std::string& path, const std::string& ansiName, DWORD type,
                       const std::string& bytes) {
    RegistryAccess access(true);
    std::shared_ptr<RegistryKey> key;
    std::vector<std::string> components;
    RegistryValue value{NameFromAnsi(ansiName, AnsiCodePage()), type, bytes};
    if (RootAndPath(root, path, AnsiCodePage(), key, components) &&
        SaveRegistryChange(ValueRecord(RegistryKeyPath(*key, components), value)) ==
            ERROR_SUCCESS) {
        PutRegistryValue(*MakeRegistryKey(key, components), std::move(value));
    }
}

bool RegistryKeyExists(HKEY root, const std::string& path) {
    return KeyAt(root, path, AnsiCodePage(), false) != nullptr;
}

bool RegistryKeyExistsUtf8(HKEY root, const std::string& path) {
    return KeyAt(root, path, utf8CodePage, false) != nullptr;
}

bool ReadRegistryValue(HKEY root, const std::string& path, const std::string& name, DWORD& type,
                       std::string& bytes) {
    std::shared_ptr<RegistryKey> key = KeyAt(root, path, AnsiCodePage(), false);
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
    return NamesAt(root, path, AnsiCodePage(), false);
}

std::vector<std::string> RegistrySubKeyNamesUtf8(HKEY root, const std::string& path) {
    return NamesAt(root, path, utf8CodePage, false);
}

std::vector<std::string> RegistryValueNames(HKEY root, const std::string& path) {
    return NamesAt(root, path, AnsiCodePage(), true);
}

void DenyRegistryAccess(HKEY root, const std::string& path) {
    std::shared_ptr<RegistryKey> key;
    std::vector<std::string> components;
    if (RootAndPath(root, path, AnsiCodePage(), key, components)) {
        state.denied.push_back(RegistryKeyPath(*key, components) + "\\");
    }
}

int OpenRegistryKeyCount() {
    return static_cast<int>(state.handles.size());
}

} // namespace emulated

// gantrel-host finds this by name in the module, to end with a status of its
// own when a change was lost.
extern "C" __attribute__((visibility("default"))) long GantrelRegistryChangesRefused() {
    return emulated::RegistryChangesRefused();
}
