// UninstUnInitialize: removes the product's settings and its shell
// registration when an uninstall ends.
#include "Hooks.h"
#include "OpenedKey.h"
#include "Platform.h"
#include "RegistryKeyTree.h"
#include "RegistryValues.h"

namespace {

const char classIdentifier[] = "{5c3e9d21-7a40-4b6e-a9d2-13f0c8e47b65}";

// Deletes one sub-key (not a tree) of the key at parentPath.
void DeleteSingleKey(const char* parentPath, const char* name, HKEY root) {
    OpenedKey parent(OpenRegKey(parentPath, root));
    if (parent.Get() != nullptr) {
        platform::RegDeleteKeyA(parent.Get(), name);
    }
}

void RemoveRegistration() {
    DeleteRegKeyTree("Software\\Corvanet\\Lumeno", HKEY_CURRENT_USER);
    DeleteRegKeyTree("SOFTWARE\\Corvanet\\Lumeno", HKEY_LOCAL_MACHINE);
    DeleteRegKeyTree("CLSID\\{5c3e9d21-7a40-4b6e-a9d2-13f0c8e47b65}", HKEY_CLASSES_ROOT);
    DeleteRegKeyTree("VKTFile", HKEY_CLASSES_ROOT);
    DeleteSingleKey("*\\shellex\\ContextMenuHandlers", "VKTMenu", HKEY_CLASSES_ROOT);
    DeleteSingleKey("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved",
                    classIdentifier, HKEY_LOCAL_MACHINE);
}

} // namespace

LONG WINAPI UninstUnInitialize(HWND, LONG, LPSTR) {
    try {
        RemoveRegistration();
    } catch (...) {
        // Out of memory for a key path: what is removed stays removed, and
        // the uninstall goes on all the same.
    }
    return 0;
}
