// The wide registry calls of the emulated platform: names in UTF-16, which
// reach every key, whatever the ANSI code page can carry.
#include "NameEncoding.h"
#include "Operations.h"
#include "Platform.h"
#include "RegistryCalls.h"
#include "RegistryState.h"

#include <cstring>

namespace {

using emulated::Handle;
using emulated::RegistryFault;
using emulated::Status;

emulated::PathGiven WidePath(LPCWSTR subKey) {
    emulated::PathGiven path;
    path.given = subKey != nullptr;
    path.split = emulated::SplitWideRegistryPath(subKey, path.components);
    return path;
}

std::string QuotedWide(LPCWSTR text) {
    if (text == nullptr) {
        return emulated::Quoted(nullptr);
    }
    std::size_t length = 0;
    while (text[length] != 0) {
        ++length;
    }
    return emulated::Quoted(emulated::NameFromUtf16(text, length).c_str());
}

LONG EnumKey(HKEY handle, DWORD index, LPWSTR name, LPDWORD nameSize, LPDWORD reserved,
             LPWSTR keyClass, LPDWORD classSize, FILETIME* lastWriteTime) {
    emulated::RegistryAccess access(false);
    const emulated::RegistryKey* child = nullptr;
    LONG status = emulated::SubKeyOf(
        handle, index, name != nullptr && nameSize != nullptr && reserved == nullptr, child);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    // Sizes count characters: with the terminating zero on the way in,
    // without it on the way out.
    std::u16string text = emulated::NameToUtf16(child->name);
    DWORD length = static_cast<DWORD>(text.size());
    if (*nameSize < length + 1) {
        return ERROR_MORE_DATA;
    }
    std::memcpy(name, text.c_str(), (length + 1) * sizeof(WCHAR));
    *nameSize = length;
    emulated::ClearClassAndTime(keyClass, classSize, lastWriteTime);
    return ERROR_SUCCESS;
}

} // namespace

namespace platform {

LONG RegOpenKeyExW(HKEY root, LPCWSTR subKey, DWORD, REGSAM, PHKEY result) {
    emulated::Operation operation("RegOpenKeyExW");
    LONG status = RegistryFault(operation);
    if (status == ERROR_SUCCESS) {
        status = emulated::OpenKeyAt(root, WidePath(subKey), false, result, nullptr);
    } else if (result != nullptr) {
        *result = nullptr;
    }
    operation.Trace(Handle(root) + ", " + QuotedWide(subKey),
                    Status(status) + (status == ERROR_SUCCESS && result != nullptr
                                          ? " -> " + Handle(*result)
                                          : std::string()));
    return status;
}

LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameSize, LPDWORD reserved,
                   LPWSTR keyClass, LPDWORD classSize, FILETIME* lastWriteTime) {
    emulated::Operation operation("RegEnumKeyExW");
    LONG status = RegistryFault(operation);
    if (status == ERROR_SUCCESS) {
        status = EnumKey(key, index, name, nameSize, reserved, keyClass, classSize, lastWriteTime);
    }
    operation.Trace(Handle(key) + ", " + std::to_string(index),
                    Status(status) +
                        (status == ERROR_SUCCESS ? " -> " + QuotedWide(name) : std::string()));
    return status;
}

LONG RegDeleteKeyW(HKEY root, LPCWSTR subKey) {
    emulated::Operation operation("RegDeleteKeyW");
    LONG status = RegistryFault(operation);
    if (status == ERROR_SUCCESS) {
        status = emulated::DeleteKeyAt(root, WidePath(subKey));
    }
    operation.Trace(Handle(root) + ", " + QuotedWide(subKey), Status(status));
    return status;
}

} // namespace platform
