// Registry values by path: each call opens its key afresh, does one query or
// one write, and closes the key again.
#include "RegistryValues.h"

#include "OpenedKey.h"
#include "Platform.h"

namespace {

const char serviceKeyPath[] = "SYSTEM\\CurrentControlSet\\Services\\LUMENO Service";

// How many bytes a reader asks for, given the size the value has.
enum class SizeRule {
    CutToCapacity, // any size; more than the capacity is asked for as the capacity
    Exactly,       // the size must be the capacity, else the value is not read
    AtMost,        // the size is asked for unchanged, but more than the capacity is not read
};

// The readers' two queries: the size and type first, then the bytes.
LONG ReadTypedValue(const char* subKey, const char* valueName, DWORD wantedType, BYTE* buffer,
                    DWORD capacity, SizeRule rule, HKEY root) {
    DWORD type = 0;
    DWORD size = 0;
    if (QueryRegValue(subKey, valueName, nullptr, &type, nullptr, &size, root) != ERROR_SUCCESS) {
        return 0;
    }
    if (type != wantedType) {
        return 0;
    }
    switch (rule) {
    case SizeRule::CutToCapacity:
        if (capacity < size) {
            size = capacity;
        }
        break;
    case SizeRule::Exactly:
        if (size != capacity) {
            return 0;
        }
        break;
    case SizeRule::AtMost:
        // The stored size goes to the data query as it is; a value larger
        // than the destination would be written past it, so it is not read.
        if (size > capacity) {
            return 0;
        }
        break;
    }
    return QueryRegValue(subKey, valueName, nullptr, &type, buffer, &size, root) == ERROR_SUCCESS
               ? 1
               : 0;
}

LONG WriteTypedValue(const char* subKey, const char* valueName, DWORD type, const BYTE* data,
                     DWORD size, HKEY root) {
    OpenedKey key(OpenRegKey(subKey, root));
    if (key.Get() == nullptr) {
        return 0;
    }
    return platform::RegSetValueExA(key.Get(), valueName, 0, type, data, size) == ERROR_SUCCESS ? 1
                                                                                                : 0;
}

// The platform's byte order for registry numbers: least significant first.
void StoreLittleEndian(uint64_t value, BYTE* bytes, int count) {
    for (int i = 0; i < count; ++i) {
        bytes[i] = static_cast<BYTE>(value >> (8 * i));
    }
}

uint64_t LoadLittleEndian(const BYTE* bytes, int count) {
    uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value = value << 8 | bytes[i];
    }
    return value;
}

} // namespace

HKEY OpenRegKey(const char* subKey, HKEY root) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    LONG status = platform::RegCreateKeyExA(root, subKey != nullptr ? subKey : serviceKeyPath, 0,
                                            nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                            nullptr, &key, &disposition);
    return status == ERROR_SUCCESS ? key : nullptr;
}

LONG QueryRegValue(const char* subKey, const char* valueName, LPDWORD reserved, LPDWORD type,
                   LPBYTE data, LPDWORD size, HKEY root) {
    DWORD sizeGiven = size != nullptr ? *size : 0;
    OpenedKey key(OpenRegKey(subKey, root));
    // Made even without a key: the platform then answers for the null handle.
    LONG status = platform::RegQueryValueExA(key.Get(), valueName, reserved, type, data, size);
    if (status != ERROR_SUCCESS && key.Get() != nullptr) {
        if (size != nullptr) {
            *size = sizeGiven;
        }
        status = platform::RegQueryValueExA(key.Get(), valueName, reserved, type, data, size);
    }
    return status;
}

LONG ReadRegString(const char* subKey, const char* valueName, char* buffer, DWORD capacity,
                   HKEY root) {
    return ReadTypedValue(subKey, valueName, REG_SZ, reinterpret_cast<BYTE*>(buffer), capacity,
                          SizeRule::CutToCapacity, root);
}

LONG ReadRegMultiString(const char* subKey, const char* valueName, char* buffer, DWORD capacity,
                        HKEY root) {
    return ReadTypedValue(subKey, valueName, REG_MULTI_SZ, reinterpret_cast<BYTE*>(buffer),
                          capacity, SizeRule::CutToCapacity, root);
}

LONG ReadRegBlock(const char* subKey, const char* valueName, BYTE* buffer, DWORD capacity,
                  HKEY root) {
    return ReadTypedValue(subKey, valueName, REG_BINARY, buffer, capacity, SizeRule::CutToCapacity,
                          root);
}

LONG ReadRegBytes4(const char* subKey, const char* valueName, uint32_t* destination, HKEY root) {
    BYTE bytes[4];
    if (ReadTypedValue(subKey, valueName, REG_BINARY, bytes, sizeof bytes, SizeRule::Exactly,
                       root) == 0) {
        return 0;
    }
    *destination = static_cast<uint32_t>(LoadLittleEndian(bytes, 4));
    return 1;
}

LONG ReadRegBytes8(const char* subKey, const char* valueName, uint64_t* destination, HKEY root) {
    BYTE bytes[8];
    if (ReadTypedValue(subKey, valueName, REG_BINARY, bytes, sizeof bytes, SizeRule::Exactly,
                       root) == 0) {
        return 0;
    }
    *destination = LoadLittleEndian(bytes, 8);
    return 1;
}

LONG ReadRegLong(const char* subKey, const char* valueName, LONG* destination, HKEY root) {
    // A shorter value fills only the low bytes it has; the others keep what
    // the destination held.
    BYTE bytes[4];
    StoreLittleEndian(static_cast<uint32_t>(*destination), bytes, 4);
    if (ReadTypedValue(subKey, valueName, REG_DWORD, bytes, sizeof bytes, SizeRule::AtMost, root) ==
        0) {
        return 0;
    }
    *destination = static_cast<LONG>(static_cast<uint32_t>(LoadLittleEndian(bytes, 4)));
    return 1;
}

LONG WriteRegString(const char* subKey, const char* valueName, const char* text, HKEY root) {
    if (text == nullptr) {
        text = "";
    }
    return WriteTypedValue(subKey, valueName, REG_SZ, reinterpret_cast<const BYTE*>(text),
                           static_cast<DWORD>(platform::lstrlenA(text)) + 1, root);
}

LONG WriteRegLong(const char* subKey, const char* valueName, LONG value, HKEY root) {
    BYTE bytes[4];
    StoreLittleEndian(static_cast<uint32_t>(value), bytes, 4);
    return WriteTypedValue(subKey, valueName, REG_DWORD, bytes, sizeof bytes, root);
}

LONG WriteRegBlock(const char* subKey, const char* valueName, const BYTE* data, DWORD size,
                   HKEY root) {
    return WriteTypedValue(subKey, valueName, REG_BINARY, data, size, root);
}

LONG WriteRegBytes4(const char* subKey, const char* valueName, uint32_t value, HKEY root) {
    BYTE bytes[4];
    StoreLittleEndian(value, bytes, 4);
    return WriteTypedValue(subKey, valueName, REG_BINARY, bytes, sizeof bytes, root);
}

LONG WriteRegBytes8(const char* subKey, const char* valueName, uint64_t value, HKEY root) {
    BYTE bytes[8];
    StoreLittleEndian(value, bytes, 8);
    return WriteTypedValue(subKey, valueName, REG_BINARY, bytes, sizeof bytes, root);
}

LONG WriteRegMultiString(const char* subKey, const char* valueName, const char* data, DWORD size,
                         HKEY root) {
    return WriteTypedValue(subKey, valueName, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data),
                           size, root);
}
