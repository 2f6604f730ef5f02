// The ANSI registry calls of the emulated platform, answering as the Windows
// NT registry does for everything the module relies on.
#include "CodePages.h"
#include "NameEncoding.h"
#include "Operations.h"
#include "Platform.h"
#include "RegistryCalls.h"
#include "RegistryFile.h"
#include "RegistryState.h"

#include <cstring>

namespace {

using emulated::Handle;
using emulated::RegistryFault;
using emulated::RegistryKey;
using emulated::Status;

const LONG errorNoAccess = 998; // ERROR_NOACCESS: a null buffer with a size

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
    auto value = key->values.find(
        emulated::NameFromAnsi(valueName != nullptr ? valueName : "", emulated::AnsiCodePage()));
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
    fresh.name =
        emulated::NameFromAnsi(valueName != nullptr ? valueName : "", emulated::AnsiCodePage());
    fresh.type = type;
    fresh.bytes.assign(reinterpret_cast<const char*>(data), size);
    auto value = key->values.find(fresh.name);
    // A new value keeps the case it is first given; a replaced one keeps its
    // old name.
    if (value != key->values.end()) {
        fresh.name = value->second.name;
    }
    // Saved first: a change the file cannot take is not made at all.
    status = emulated::SaveRegistryChangeWith(
        [&] { return emulated::ValueRecord(emulated::RegistryKeyPath(*key), fresh); });
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

// A path in the ANSI code page; no path at all is the key itself, as an
// empty one is.
emulated::PathGiven AnsiPath(LPCSTR subKey) {
    emulated::PathGiven path;
    path.given = subKey != nullptr;
    path.split = emulated::SplitRegistryPath(subKey != nullptr ? subKey : "",
                                             emulated::AnsiCodePage(), path.components);
    return path;
}

LONG EnumKey(HKEY handle, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved,
             LPSTR keyClass, LPDWORD classSize, FILETIME* lastWriteTime) {
    emulated::RegistryAccess access(false);
    const RegistryKey* child = nullptr;
    LONG status = emulated::SubKeyOf(
        handle, index, name != nullptr && nameSize != nullptr && reserved == nullptr, child);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    // The size is in bytes with the terminating zero on the way in, and the
    // name's length without it on the way out.
    std::string converted;
    if (!emulated::IsAscii(child->name)) {
        converted = emulated::NameToAnsi(child->name, emulated::AnsiCodePage());
    }
    const std::string& text = converted.empty() ? child->name : converted;
    DWORD length = static_cast<DWORD>(text.size());
    if (*nameSize < length + 1) {
        return ERROR_MORE_DATA;
    }
    std::memcpy(name, text.c_str(), length + 1);
    *nameSize = length;
    emulated::ClearClassAndTime(keyClass, classSize, lastWriteTime);
    return ERROR_SUCCESS;
}

} // namespace

namespace platform {

LONG RegCreateKeyExA(HKEY root, LPCSTR subKey, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES,
                     PHKEY result, LPDWORD disposition) {
    emulated::Operation operation("RegCreateKeyExA");
    LONG status = RegistryFault(operation);
    if (status == ERROR_SUCCESS) {
        status = emulated::OpenKeyAt(root, AnsiPath(subKey), true, result, disposition);
    } else if (result != nullptr) {
        *result = nullptr;
    }
    operation.Trace(Handle(root) + ", " + emulated::Quoted(subKey),
                    Status(status) + (status == ERROR_SUCCESS && result != nullptr
                                          ? " -> " + Handle(*result)
                                          : std::string()));
    return status;
}

// The emulated registry has no links: REG_OPTION_OPEN_LINK changes nothing.
LONG RegOpenKeyExA(HKEY root, LPCSTR subKey, DWORD, REGSAM, PHKEY result) {
    emulated::Operation operation("RegOpenKeyExA");
    LONG status = RegistryFault(operation);
    if (status == ERROR_SUCCESS) {
        status = emulated::OpenKeyAt(root, AnsiPath(subKey), false, result, nullptr);
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
    LONG status = RegistryFault(operation);
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
    LONG status = RegistryFault(operation);
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
    LONG status = RegistryFault(operation);
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
    LONG status = RegistryFault(operation);
    if (status == ERROR_SUCCESS) {
        status = emulated::DeleteKeyAt(root, AnsiPath(subKey));
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
