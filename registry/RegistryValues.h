// Reading and writing single registry values by path.
//
// A value is addressed by its sub-key path (relative to the root, components
// separated by backslashes), its value name (the empty name is the key's
// unnamed value) and, last, its root: HKEY_CLASSES_ROOT, HKEY_CURRENT_USER,
// HKEY_LOCAL_MACHINE or any open key. A null sub-key path stands for the
// service key, "SYSTEM\CurrentControlSet\Services\LUMENO Service".
//
// Every function opens its key afresh, creating it and every missing parent
// when it does not exist yet (so even a read leaves the path behind as empty
// keys), and closes it again before returning. The readers and writers answer
// 1 when the value was read or written and 0 otherwise, with no reason given.
#pragma once

#include "PlatformTypes.h"

#include <cstdint>

// The key at subKey under root, opened with full access and created (with
// its missing parents) when it does not exist; null when that fails. The
// caller closes it with RegCloseKey.
HKEY OpenRegKey(const char* subKey, HKEY root);

// RegQueryValueExA on the key at subKey, with one retry: when the first
// query fails on an open key it is made once more, with *size set back to
// what the caller passed. Answers the platform status of the last query.
// With a null data buffer it is a size and type query.
LONG QueryRegValue(const char* subKey, const char* valueName, LPDWORD reserved, LPDWORD type,
                   LPBYTE data, LPDWORD size, HKEY root);

// --- Readers. Each accepts only its own registry type and never writes more
// than the destination holds. A reader with a capacity copies the stored
// bytes as they are (no terminator is added) and fails when the value does
// not fit; after a failed read the destination is as it was.

// REG_SZ.
LONG ReadRegString(const char* subKey, const char* valueName, char* buffer, DWORD capacity,
                   HKEY root);
// REG_MULTI_SZ.
LONG ReadRegMultiString(const char* subKey, const char* valueName, char* buffer, DWORD capacity,
                        HKEY root);
// REG_BINARY of any size up to the capacity.
LONG ReadRegBlock(const char* subKey, const char* valueName, BYTE* buffer, DWORD capacity,
                  HKEY root);
// REG_BINARY of exactly 4 bytes.
LONG ReadRegBytes4(const char* subKey, const char* valueName, uint32_t* destination, HKEY root);
// REG_BINARY of exactly 8 bytes.
LONG ReadRegBytes8(const char* subKey, const char* valueName, uint64_t* destination, HKEY root);
// REG_DWORD, least significant byte first. A value stored with more than 4
// bytes is not read; one with fewer fills only the low bytes it has.
LONG ReadRegLong(const char* subKey, const char* valueName, LONG* destination, HKEY root);

// --- Writers: each creates or replaces the value with exactly these bytes.

// REG_SZ: the text and its terminating zero.
LONG WriteRegString(const char* subKey, const char* valueName, const char* text, HKEY root);
// REG_DWORD: the 4 bytes of value, least significant first.
LONG WriteRegLong(const char* subKey, const char* valueName, LONG value, HKEY root);
// REG_BINARY: size bytes from data.
LONG WriteRegBlock(const char* subKey, const char* valueName, const BYTE* data, DWORD size,
                   HKEY root);
// REG_BINARY: the 4 bytes of value, least significant first.
LONG WriteRegBytes4(const char* subKey, const char* valueName, uint32_t value, HKEY root);
// REG_BINARY: the 8 bytes of value, least significant first.
LONG WriteRegBytes8(const char* subKey, const char* valueName, uint64_t value, HKEY root);
// REG_MULTI_SZ: size bytes from data, which the caller lays out (texts each
// with its zero, and one more zero at the end).
LONG WriteRegMultiString(const char* subKey, const char* valueName, const char* data, DWORD size,
                         HKEY root);
