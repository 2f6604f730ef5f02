// What the ANSI and the wide registry calls share: opening, enumerating and
// deleting keys by names as kept, and how a call fails for an injected fault.
#include "RegistryCalls.h"

#include "RegistryFile.h"
#include "RegistryState.h"

namespace {

using emulated::RegistryKey;

const LONG errorTooDeep = ERROR_INVALID_PARAMETER; // a key more than 512 levels deep

// A key name the registry file could not carry: its lines cannot hold a
// line break, and nothing in REGEDIT4 escapes one inside a key's name.
bool HasLineBreak(const std::vector<std::string>& components) {
    for (const std::string& component : components) {
        if (component.find_first_of("\r\n") != std::string::npos) {
            return true;
        }
    }
    return false;
}

} // namespace

namespace emulated {

LONG RegistryFault(const Operation& operation) {
    return static_cast<LONG>(operation.FaultStatus(registryFaultStatuses));
}

std::string Handle(HKEY key) {
    return Hex(reinterpret_cast<uintptr_t>(key));
}

std::string Status(LONG status) {
    return std::to_string(status);
}

LONG OpenKeyAt(HKEY root, const PathGiven& path, bool create, PHKEY result, LPDWORD disposition) {
    if (result == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    *result = nullptr;
    RegistryAccess access(create);
    std::shared_ptr<RegistryKey> parent;
    LONG status = access.status != ERROR_SUCCESS ? access.status : KeyOfHandle(root, parent);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (!path.split) {
        return ERROR_BAD_PATHNAME;
    }
    if (HasLineBreak(path.components)) {
        return ERROR_INVALID_PARAMETER;
    }
    if (IsAccessDenied(*parent, path.components)) {
        return ERROR_ACCESS_DENIED;
    }
    std::shared_ptr<RegistryKey> key = FindRegistryKey(parent, path.components);
    bool created = key == nullptr;
    if (created && !create) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (created) {
        // Windows keeps keys within 512 levels of their root.
        if (RegistryKeyDepth(*parent) + path.components.size() > maxRegistryKeyDepth) {
            return errorTooDeep;
        }
        status = SaveRegistryChangeWith(
            [&] { return KeyRecord(RegistryPathBelow(*parent, path.components)); });
        if (status != ERROR_SUCCESS) {
            return status;
        }
        key = MakeRegistryKey(parent, path.components, created);
    }
    if (disposition != nullptr) {
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    }
    *result = OpenKeyHandle(key);
    return ERROR_SUCCESS;
}

LONG SubKeyOf(HKEY handle, DWORD index, bool argumentsValid, const RegistryKey*& child) {
    child = nullptr;
    std::shared_ptr<RegistryKey> key;
    LONG status = KeyOfHandle(handle, key);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (!argumentsValid) {
        return ERROR_INVALID_PARAMETER;
    }
    if (IsAccessDenied(*key)) {
        return ERROR_ACCESS_DENIED;
    }
    child = SubKeyAt(handle, *key, index);
    return child != nullptr ? ERROR_SUCCESS : ERROR_NO_MORE_ITEMS;
}

LONG DeleteKeyAt(HKEY root, const PathGiven& path) {
    RegistryAccess access(true);
    std::shared_ptr<RegistryKey> parent;
    LONG status = access.status != ERROR_SUCCESS ? access.status : KeyOfHandle(root, parent);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (!path.given) {
        return ERROR_INVALID_PARAMETER;
    }
    if (!path.split) {
        return ERROR_BAD_PATHNAME;
    }
    std::shared_ptr<RegistryKey> key = FindRegistryKey(parent, path.components);
    if (key == nullptr) {
        return ERROR_FILE_NOT_FOUND;
    }
    // A root is never removed; neither is a key someone may not touch.
    if (key->parent == nullptr || IsAccessDenied(*key)) {
        return ERROR_ACCESS_DENIED;
    }
    if (!key->keys.empty() && (!DeleteRemovesTree() || IsAccessDeniedWithin(*key))) {
        return ERROR_ACCESS_DENIED;
    }
    status = SaveRegistryChangeWith([&] { return RemovedKeyRecord(RegistryKeyPath(*key)); });
    if (status == ERROR_SUCCESS) {
        RemoveRegistryKey(*key);
    }
    return status;
}

} // namespace emulated
