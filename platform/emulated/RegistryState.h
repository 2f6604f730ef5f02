// The process's emulated registry: its keys, its open handles, the file it is
// saved to, and the settings tests give it. Internal to the backend.
#pragma once

#include "RegistryKeys.h"

#include <memory>
#include <string>
#include <vector>

namespace emulated {

// The status of every operation while the registry file is refused.
const LONG errorBadRegistryFile = 1009; // ERROR_BADDB

// The registry, loaded from its file on first use; null while the file is
// refused.
RegistryRoots* Registry();
// Saves the registry to its file, if it has one. Called after every change.
void RegistryChanged();

// The key a predefined root or an open handle stands for: ERROR_SUCCESS,
// ERROR_INVALID_HANDLE for a handle that is not open, ERROR_KEY_DELETED for
// a key removed since the handle was opened.
LONG KeyOfHandle(HKEY handle, std::shared_ptr<RegistryKey>& key);
bool IsPredefinedRoot(HKEY handle);
HKEY OpenKeyHandle(const std::shared_ptr<RegistryKey>& key);
bool CloseKeyHandle(HKEY handle);
// The sub-key at `index` of the handle's key. Enumerating 0, 1, 2... in turn
// costs O(1) a step while the key's sub-keys do not change.
const RegistryKey* SubKeyAt(HKEY handle, const RegistryKey& key, DWORD index);

// Whether access to the key (or, with components, to the key that far below
// it) is denied.
bool IsAccessDenied(const RegistryKey& key, const std::vector<std::string>& below = {});
// Whether access to the key or to any key below it is denied: a whole-tree
// delete is refused then, as one protected key stops it on the platform.
bool IsAccessDeniedWithin(const RegistryKey& key);
bool DeleteRemovesTree();

} // namespace emulated
