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

// Every operation holds the registry for its whole length: it takes the
// file's lock (exclusive for one that may change something) and sees every
// change other processes made before it. ERROR_SUCCESS, the status of a
// refused file (errorBadRegistryFile) or of a file that cannot be read.
// Nested accesses share the outer one.
LONG BeginRegistryAccess(bool change);
void EndRegistryAccess();
struct RegistryAccess {
    explicit RegistryAccess(bool change) : status(BeginRegistryAccess(change)) {}
    ~RegistryAccess() { EndRegistryAccess(); }
    RegistryAccess(const RegistryAccess&) = delete;
    RegistryAccess& operator=(const RegistryAccess&) = delete;
    const LONG status;
};

// Makes one change durable (the records of RegistryFile.h) before it is made
// in memory, under an access that may change. ERROR_SUCCESS, or the status
// to fail the operation with, and then nothing may change:
// ERROR_ACCESS_DENIED for a file the user may not write, 1016
// (ERROR_REGISTRY_IO_FAILED) for a write that failed.
LONG SaveRegistryChange(const std::string& record);
// Whether the registry is kept in a file, where changes are saved.
bool RegistryFileInUse();
// SaveRegistryChange of the record `makeRecord` builds, built only when
// there is a file to save it to: a registry in memory pays nothing for it.
template <typename RecordMaker> LONG SaveRegistryChangeWith(const RecordMaker& makeRecord) {
    return RegistryFileInUse() ? SaveRegistryChange(makeRecord()) : ERROR_SUCCESS;
}

// The key a predefined root or an open handle stands for: ERROR_SUCCESS,
// ERROR_INVALID_HANDLE for a handle that is not open, ERROR_KEY_DELETED for
// a key removed since the handle was opened.
LONG KeyOfHandle(HKEY handle, std::shared_ptr<RegistryKey>& key);
bool IsPredefinedRoot(HKEY handle);
HKEY OpenKeyHandle(const std::shared_ptr<RegistryKey>& key);
bool CloseKeyHandle(HKEY handle);

// Whether access to the key (or, with components, to the key that far below
// it) is denied.
bool IsAccessDenied(const RegistryKey& key, const std::vector<std::string>& below = {});

} // namespace emulated
