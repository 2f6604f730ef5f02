// The registry calls of the emulated platform, ANSI and wide, answering as
// the Windows NT registry does for everything the module relies on. The two
// forms differ only in how their texts arrive and leave, so each call is one
// body for both. Enumeration answers index 0 only: the module removes each
// sub-key before it asks for the next.
#include "Operations.h"
#include "Platform.h"
#include "Registry.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace emulated {
namespace {

const LONG errorNoAccess = 998; // ERROR_NOACCESS: a null buffer with a size

std::string Handle(HKEY key) {
    return Hex(reinterpret_cast<uintptr_t>(key));
}

std::string Status(LONG status) {
    return std::to_string(status);
}

// A text argument as the trace shows it, in UTF-8 for a wide one.
std::string Traced(const char* text) {
    return Quoted(text);
}

// A wide text as kept; a lone surrogate stays as it is.
std::string Kept(const WCHAR* text) {
    return Utf8FromUtf16(text, std::char_traits<WCHAR>::length(text), Unconvertible::kept);
}

std::string Traced(const WCHAR* text) {
    return Quoted(text != nullptr ? Kept(text).c_str() : nullptr);
}

// No path at all is the key itself, as an empty one is.
bool Split(const char* subKey, std::vector<std::string>& components) {
    return SplitRegistryPath(subKey != nullptr ? subKey : "", AnsiCodePage(), components);
}

bool Split(const WCHAR* subKey, std::vector<std::string>& components) {
    return SplitRegistryPath(subKey != nullptr ? Kept(subKey) : "", utf8CodePage, components);
}

// A kept name as an enumeration hands it out.
std::string NameOut(const std::string& kept, char) {
    return IsAscii(kept) ? kept : NameToAnsi(kept, AnsiCodePage());
}

std::u16string NameOut(const std::string& kept, WCHAR) {
    return Utf16FromUtf8(kept, Unconvertible::kept);
}

std::string ValueName(LPCSTR name) {
    return NameFromAnsi(name != nullptr ? name : "", AnsiCodePage());
}

// A key name the registry file could not carry: its lines cannot hold a
// line break, and nothing in REGEDIT4 escapes one inside a key's name.
bool HasLineBreak(const std::vector<std::string>& components) {
    return std::any_of(components.begin(), components.end(), [](const std::string& component) {
        return component.find_first_of("\r\n") != std::string::npos;
    });
}

// RegCreateKeyEx (`create`) or RegOpenKeyEx of the path below `parent`.
template <typename Character>
LONG OpenKey(const std::shared_ptr<RegistryKey>& parent, const Character* subKey, bool create,
             PHKEY result, LPDWORD disposition) {
    std::vector<std::string> components;
    if (result == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (!Split(subKey, components)) {
        return ERROR_BAD_PATHNAME;
    }
    if (HasLineBreak(components)) {
        return ERROR_INVALID_PARAMETER;
    }
    if (IsAccessDenied(*parent, components)) {
        return ERROR_ACCESS_DENIED;
    }
    std::shared_ptr<RegistryKey> key = FindRegistryKey(parent, components);
    bool created = key == nullptr;
    if (created && !create) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (created) {
        if (RegistryKeyDepth(*parent) + components.size() > maxRegistryKeyDepth) {
            return ERROR_INVALID_PARAMETER;
        }
        LONG status =
            SaveRegistryChangeWith([&] { return KeyRecord(RegistryKeyPath(*parent, components)); });
        if (status != ERROR_SUCCESS) {
            return status;
        }
        key = MakeRegistryKey(parent, components);
    }
    if (disposition != nullptr) {
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    }
    *result = OpenKeyHandle(key);
    return ERROR_SUCCESS;
}

// A key that still has sub-keys is refused, as the NT registry refuses it.
template <typename Character>
LONG DeleteKey(const std::shared_ptr<RegistryKey>& parent, const Character* subKey) {
    std::vector<std::string> components;
    if (subKey == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (!Split(subKey, components)) {
        return ERROR_BAD_PATHNAME;
    }
    std::shared_ptr<RegistryKey> key = FindRegistryKey(parent, components);
    if (key == nullptr) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (key->parent == nullptr || IsAccessDenied(*key) || !key->keys.empty()) {
        return ERROR_ACCESS_DENIED;
    }
    LONG status = SaveRegistryChangeWith([&] { return RemovedKeyRecord(RegistryKeyPath(*key)); });
    if (status == ERROR_SUCCESS) {
        RemoveRegistryKey(*key);
    }
    return status;
}

template <typename Character>
LONG EnumKey(const RegistryKey& key, DWORD index, Character* name, LPDWORD nameSize,
             LPDWORD reserved, Character* keyClass, LPDWORD classSize, FILETIME* lastWriteTime) {
    if (name == nullptr || nameSize == nullptr || reserved != nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    // No key here has a class or a time, and the module asks for neither.
    if (index != 0 || keyClass != nullptr || classSize != nullptr || lastWriteTime != nullptr) {
        std::fprintf(stderr,
                     "gantrel: RegEnumKeyEx of index %lu: the emulated registry answers "
                     "index 0 only, with no class or time\n",
                     static_cast<unsigned long>(index));
        return ERROR_INVALID_PARAMETER;
    }
    if (IsAccessDenied(key)) {
        return ERROR_ACCESS_DENIED;
    }
    if (key.keys.empty()) {
        return ERROR_NO_MORE_ITEMS;
    }
    // In characters: with the terminating zero on the way in, not on the way out.
    auto text = NameOut(key.keys.begin()->second->name, Character());
    DWORD length = static_cast<DWORD>(text.size());
    if (*nameSize < length + 1) {
        return ERROR_MORE_DATA;
    }
    std::memcpy(name, text.c_str(), (length + 1) * sizeof(Character));
    *nameSize = length;
    return ERROR_SUCCESS;
}

LONG QueryValue(const RegistryKey& key, LPCSTR valueName, LPDWORD reserved, LPDWORD type,
                LPBYTE data, LPDWORD size) {
    if (reserved != nullptr || (data != nullptr && size == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    if (IsAccessDenied(key)) {
        return ERROR_ACCESS_DENIED;
    }
    auto value = key.values.find(ValueName(valueName));
    if (value == key.values.end()) {
        return ERROR_FILE_NOT_FOUND;
    }
    const std::string& bytes = value->second.bytes;
    DWORD needed = static_cast<DWORD>(bytes.size());
    if (type != nullptr) {
        *type = value->second.type;
    }
    // Too small a buffer gets nothing but the size it needs.
    LONG status = data != nullptr && *size < needed ? ERROR_MORE_DATA : ERROR_SUCCESS;
    if (data != nullptr && status == ERROR_SUCCESS) {
        std::memcpy(data, bytes.data(), bytes.size());
    }
    if (size != nullptr) {
        *size = needed;
    }
    return status;
}

LONG SetValue(RegistryKey& key, LPCSTR valueName, DWORD type, const BYTE* data, DWORD size) {
    if (data == nullptr && size != 0) {
        return errorNoAccess;
    }
    if (IsAccessDenied(key)) {
        return ERROR_ACCESS_DENIED;
    }
    RegistryValue value{ValueName(valueName), type,
                        std::string(reinterpret_cast<const char*>(data), size)};
    // In the file as in memory.
    auto existing = key.values.find(value.name);
    if (existing != key.values.end()) {
        value.name = existing->second.name;
    }
    LONG status = SaveRegistryChangeWith([&] { return ValueRecord(RegistryKeyPath(key), value); });
    if (status == ERROR_SUCCESS) {
        PutRegistryValue(key, std::move(value));
    }
    return status;
}

// One registry call on the key `handle` names: counted, faulted, holding the
// registry while `body` runs on the key, and traced.
template <typename Body, typename Answer>
LONG KeyCall(const char* name, const std::string& arguments, HKEY handle, bool change,
             const Body& body, const Answer& answer) {
    Operation operation(name);
    LONG status = static_cast<LONG>(operation.FaultStatus(registryFaultStatuses));
    if (status == ERROR_SUCCESS) {
        RegistryAccess access(change);
        std::shared_ptr<RegistryKey> key;
        status = access.status != ERROR_SUCCESS ? access.status : KeyOfHandle(handle, key);
        if (status == ERROR_SUCCESS) {
            status = body(key);
        }
    }
    operation.Trace(arguments, answer(status));
    return status;
}

template <typename Character>
LONG OpenCall(const char* name, HKEY root, const Character* subKey, bool create, PHKEY result,
              LPDWORD disposition) {
    if (result != nullptr) {
        *result = nullptr;
    }
    return KeyCall(
        name, Handle(root) + ", " + Traced(subKey), root, create,
        [&](const auto& key) { return OpenKey(key, subKey, create, result, disposition); },
        [&](LONG status) {
            return Status(status) + (status == ERROR_SUCCESS && result != nullptr
                                         ? " -> " + Handle(*result)
                                         : std::string());
        });
}

template <typename Character>
LONG EnumCall(const char* callName, HKEY handle, DWORD index, Character* name, LPDWORD nameSize,
              LPDWORD reserved, Character* keyClass, LPDWORD classSize, FILETIME* lastWriteTime) {
    return KeyCall(
        callName, Handle(handle) + ", " + std::to_string(index), handle, false,
        [&](const auto& key) {
            return EnumKey(*key, index, name, nameSize, reserved, keyClass, classSize,
                           lastWriteTime);
        },
        [&](LONG status) {
            return Status(status) +
                   (status == ERROR_SUCCESS ? " -> " + Traced(name) : std::string());
        });
}

template <typename Character>
LONG DeleteCall(const char* name, HKEY root, const Character* subKey) {
    return KeyCall(
        name, Handle(root) + ", " + Traced(subKey), root, true,
        [&](const auto& key) { return DeleteKey(key, subKey); }, Status);
}

} // namespace
} // namespace emulated

namespace platform {

using namespace emulated;

LONG RegCreateKeyExA(HKEY root, LPCSTR subKey, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES,
                     PHKEY result, LPDWORD disposition) {
    return OpenCall("RegCreateKeyExA", root, subKey, true, result, disposition);
}

// The emulated registry has no links: REG_OPTION_OPEN_LINK changes nothing.
LONG RegOpenKeyExA(HKEY root, LPCSTR subKey, DWORD, REGSAM, PHKEY result) {
    return OpenCall("RegOpenKeyExA", root, subKey, false, result, nullptr);
}

LONG RegOpenKeyExW(HKEY root, LPCWSTR subKey, DWORD, REGSAM, PHKEY result) {
    return OpenCall("RegOpenKeyExW", root, subKey, false, result, nullptr);
}

LONG RegQueryValueExA(HKEY handle, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD size) {
    return KeyCall(
        "RegQueryValueExA",
        Handle(handle) + ", " + Quoted(valueName) +
            (data != nullptr ? ", buffer of " : ", size query ") +
            std::to_string(size != nullptr ? *size : 0),
        handle, false,
        [&](const auto& key) { return QueryValue(*key, valueName, reserved, type, data, size); },
        [&](LONG status) {
            return Status(status) + (size != nullptr && status != ERROR_FILE_NOT_FOUND
                                         ? ", size " + std::to_string(*size)
                                         : std::string());
        });
}

LONG RegSetValueExA(HKEY handle, LPCSTR valueName, DWORD, DWORD type, const BYTE* data,
                    DWORD size) {
    return KeyCall(
        "RegSetValueExA",
        Handle(handle) + ", " + Quoted(valueName) + ", type " + std::to_string(type) + ", " +
            std::to_string(size) + " bytes",
        handle, true, [&](const auto& key) { return SetValue(*key, valueName, type, data, size); },
        Status);
}

LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved,
                   LPSTR keyClass, LPDWORD classSize, FILETIME* lastWriteTime) {
    return EnumCall("RegEnumKeyExA", key, index, name, nameSize, reserved, keyClass, classSize,
                    lastWriteTime);
}

LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameSize, LPDWORD reserved,
                   LPWSTR keyClass, LPDWORD classSize, FILETIME* lastWriteTime) {
    return EnumCall("RegEnumKeyExW", key, index, name, nameSize, reserved, keyClass, classSize,
                    lastWriteTime);
}

LONG RegDeleteKeyA(HKEY root, LPCSTR subKey) {
    return DeleteCall("RegDeleteKeyA", root, subKey);
}

LONG RegDeleteKeyW(HKEY root, LPCWSTR subKey) {
    return DeleteCall("RegDeleteKeyW", root, subKey);
}

LONG RegCloseKey(HKEY key) {
    // An injected fault is counted and passed over: no handle is left open.
    Operation operation("RegCloseKey");
    LONG status = CloseKeyHandle(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
    operation.Trace(Handle(key), Status(status));
    return status;
}

} // namespace platform
