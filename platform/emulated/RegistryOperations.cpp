// The registry operations of the emulated platform, answering as the Windows
// NT registry does for everything the module relies on.
#include "CodePageTables.h"
#include "Operations.h"
#include "Platform.h"
#include "RegistryFile.h"
#include "RegistryState.h"

#include <cstring>

namespace {

using emulated::RegistryKey;

const LONG errorNoAccess = 998;                    // ERROR_NOACCESS: a null buffer with a size
const LONG errorTooDeep = ERROR_INVALID_PARAMETER; // a key more than 512 levels deep

// The operation's status when a fault was injected into it.
LONG FaultStatus(const emulated::Operation& operation) {
    return static_cast<LONG>(operation.FaultStatus(emulated::registryFaultStatuses));
}

std::string Handle(HKEY key) {
    return emulated::Hex(reinterpret_cast<uintptr_t>(key));
}

std::string Status(LONG status) {
    return std::to_string(status);
}

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

LONG CreateKey(HKEY root, LPCSTR subKey, PHKEY result, LPDWORD disposition) {
    if (result == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    *result = nullptr;
    emulated::RegistryAccess access(true);
    std::shared_ptr<RegistryKey> parent;
    LONG status =
        access.status != ERROR_SUCCESS ? access.status : emulated::KeyOfHandle(root, parent);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    // No path at all opens the key itself, as an empty one does.
    std::vector<std::string> components;
    if (!emulated::SplitRegistryPath(subKey != nullptr ? subKey : "", emulated::AnsiCodePage(),
                                     components)) {
        return ERROR_BAD_PATHNAME;
    }
    if (HasLineBreak(components)) {
        return ERROR_INVALID_PARAMETER;
    }
    if (emulated::IsAccessDenied(*parent, components)) {
        return ERROR_ACCESS_DENIED;
    }
    std::shared_ptr<RegistryKey> key = emulated::FindRegistryKey(parent, components);
    bool created = key == nullptr;
    if (created) {
        // Windows keeps keys within 512 levels of their root.
        if (emulated::RegistryKeyDepth(*parent) + components.size() >
            emulated::maxRegistryKeyDepth) {
            return errorTooDeep;
        }
        status = emulated::SaveRegistryChange(
            emulated::KeyRecord(emulated::RegistryPathBelow(*parent, components)));
        if (status != ERROR_SUCCESS) {
            return status;
        }
        key = emulated::MakeRegistryKey(parent, components, created);
    }
    if (disposition != nullptr) {
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    }
    *result = emulated::OpenKeyHandle(key);
    return ERROR_SUCCESS;
}

LONG QueryValue(HKEY handle, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                LPDWORD size) {
    emulated::RegistryAccess access(false);
    std::shared_ptr<RegistryKey> key;
    LONG status =
        access.status != ERROR_SUCCESS ? access.status : emulated::KeyOfHandle(handle, key);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (reserved != nullptr || (data != nullptr && size == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    if (emulated::IsAccessDenied(*key)) {
        return ERROR_ACCESS_DENIED;
    }
    auto value = key->values.find(valueName != nullptr ? valueName : "");
    if (value == key->values.end()) {
        return ERROR_FILE_NOT_FOUND;
    }
    const std::string& bytes = value->second.bytes;
    DWORD needed = static_cast<DWORD>(bytes.size());
    if (type != nullptr) {
        *type = value->second.type;
    }
    if (data != nullptr) {
        if (*size < needed) {
            // Nothing is copied: the caller learns the size it needs.
            *size = needed;
            return ERROR_MORE_DATA;
        }
        std::memcpy(data, bytes.data(), bytes.size());
    }
    if (size != nullptr) {
        *size = needed;
    }
    return ERROR_SUCCESS;
}

LONG SetValue(HKEY handle, LPCSTR valueName, DWORD type, const BYTE* data, DWORD size) {
    emulated::RegistryAccess access(true);
    std::shared_ptr<RegistryKey> key;
    LONG status =
        access.status != ERROR_SUCCESS ? access.status : emulated::KeyOfHandle(handle, key);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (data == nullptr && size != 0) {
        return errorNoAccess;
    }
    if (emulated::IsAccessDenied(*key)) {
        return ERROR_ACCESS_DENIED;
    }
    emulated::RegistryValue fresh;
    fresh.name = valueName != nullptr ? valueName : "";
    fresh.type = type;
    fresh.bytes.assign(reinterpret_cast<const char*>(data), size);
    auto value = key->values.find(fresh.name);
    // A new value keeps the case it is first given; a replaced one keeps its
    // old name.
    if (value != key->values.end()) {
        fresh.name = value->second.name;
    }
    status =
        emulated::SaveRegistryChange(emulated::ValueRecord(emulated::RegistryKeyPath(*key), fresh));
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (value == key->values.end()) {
        std::string name = fresh.name;
        key->values.emplace(name, std::move(fresh));
    } else {
        value->second = std::move(fresh);
    }
    return ERROR_SUCCESS;
}

LONG EnumKey(HKEY handle, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved,
             LPSTR keyClass, LPDWORD classSize, FILETIME* lastWriteTime) {
    emulated::RegistryAccess access(false);
    std::shared_ptr<RegistryKey> key;
    LONG status =
        access.status != ERROR_SUCCESS ? access.status : emulated::KeyOfHandle(handle, key);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (name == nullptr || nameSize == nullptr || reserved != nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (emulated::IsAccessDenied(*key)) {
        return ERROR_ACCESS_DENIED;
    }
    const RegistryKey* child = emulated::SubKeyAt(handle, *key, index);
    if (child == nullptr) {
        return ERROR_NO_MORE_ITEMS;
    }
    // The size is in bytes with the terminating zero on the way in, and the
    // name's length without it on the way out.
    DWORD length = static_cast<DWORD>(child->name.size());
    if (*nameSize < length + 1) {
        return ERROR_MORE_DATA;
    }
    std::memcpy(name, child->name.c_str(), length + 1);
    *nameSize = length;
    if (keyClass != nullptr && classSize != nullptr && *classSize > 0) {
        keyClass[0] = 0;
        *classSize = 0;
    }
    if (lastWriteTime != nullptr) {
        *lastWriteTime = FILETIME{0, 0};
    }
    return ERROR_SUCCESS;
}

LONG DeleteKey(HKEY root, LPCSTR subKey) {
    emulated::RegistryAccess access(true);
    std::shared_ptr<RegistryKey> parent;
    LONG status =
        access.status != ERROR_SUCCESS ? access.status : emulated::KeyOfHandle(root, parent);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (subKey == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    std::vector<std::string> components;
    if (!emulated::SplitRegistryPath(subKey, emulated::AnsiCodePage(), components)) {
        return ERROR_BAD_PATHNAME;
    }
    std::shared_ptr<RegistryKey> key = emulated::FindRegistryKey(parent, components);
    if (key == nullptr) {
        return ERROR_FILE_NOT_FOUND;
    }
    // A root is never removed; neither is a key someone may not touch.
    if (key->parent == nullptr || emulated::IsAccessDenied(*key)) {
        return ERROR_ACCESS_DENIED;
    }
    if (!key->keys.empty() &&
        (!emulated::DeleteRemovesTree() || emulated::IsAccessDeniedWithin(*key))) {
        return ERROR_ACCESS_DENIED;
    }
    status =
        emulated::SaveRegistryChange(emulated::RemovedKeyRecord(emulated::RegistryKeyPath(*key)));
    if (status == ERROR_SUCCESS) {
        emulated::RemoveRegistryKey(*key);
    }
    return status;
}

} // namespace

namespace platform {

LONG RegCreateKeyExA(HKEY root, LPCSTR subKey, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES,
                     PHKEY result, LPDWORD disposition) {
    emulated::Operation operation("RegCreateKeyExA");
    LONG status = FaultStatus(operation);
    if (status == ERROR_SUCCESS) {
        status = CreateKey(root, subKey, result, disposition);
    } else if (result != nullptr) {
        *result = nullptr;
    }
    operation.Trace(Handle(root) + ", " + emulated::Quoted(subKey),
                    Status(status) + (status == ERROR_SUCCESS && result != nullptr
                                          ? " -> " + Handle(*result)
                                          : std::string()));
    return status;
}

LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD size) {
    DWORD sizeGiven = size != nullptr ? *size : 0;
    emulated::Operation operation("RegQueryValueExA");
    LONG status = FaultStatus(operation);
    if (status == ERROR_SUCCESS) {
        status = QueryValue(key, valueName, reserved, type, data, size);
    }
    operation.Trace(Handle(key) + ", " + emulated::Quoted(valueName) +
                        (data != nullptr ? ", buffer of " : ", size query ") +
                        std::to_string(sizeGiven),
                    Status(status) + (size != nullptr && status != ERROR_FILE_NOT_FOUND
                                          ? ", size " + std::to_string(*size)
                                          : std::string()));
    return status;
}

LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD size) {
    emulated::Operation operation("RegSetValueExA");
    LONG status = FaultStatus(operation);
    if (status == ERROR_SUCCESS) {
        status = SetValue(key, valueName, type, data, size);
    }
    operation.Trace(Handle(key) + ", " + emulated::Quoted(valueName) + ", type " +
                        std::to_string(type) + ", " + std::to_string(size) + " bytes",
                    Status(status));
    return status;
}

LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved,
                   LPSTR keyClass, LPDWORD classSize, FILETIME* lastWriteTime) {
    emulated::Operation operation("RegEnumKeyExA");
    LONG status = FaultStatus(operation);
    if (status == ERROR_SUCCESS) {
        status = EnumKey(key, index, name, nameSize, reserved, keyClass, classSize, lastWriteTime);
    }
    operation.Trace(Handle(key) + ", " + std::to_string(index),
                    Status(status) + (status == ERROR_SUCCESS ? " -> " + emulated::Quoted(name)
                                                              : std::string()));
    return status;
}

LONG RegDeleteKeyA(HKEY root, LPCSTR subKey) {
    emulated::Operation operation("RegDeleteKeyA");
    LONG status = FaultStatus(operation);
    if (status == ERROR_SUCCESS) {
        status = DeleteKey(root, subKey);
    }
    operation.Trace(Handle(root) + ", " + emulated::Quoted(subKey), Status(status));
    return status;
}

LONG RegCloseKey(HKEY key) {
    // Closing cannot fail for a reason: an injected fault is counted and
    // passed over, so that no handle is left open by it.
    emulated::Operation operation("RegCloseKey");
    LONG status = ERROR_SUCCESS;
    if (!emulated::IsPredefinedRoot(key) && !emulated::CloseKeyHandle(key)) {
        status = ERROR_INVALID_HANDLE;
    }
    operation.Trace(Handle(key), Status(status));
    return status;
}

} // namespace platform
