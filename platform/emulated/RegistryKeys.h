// The emulated registry's key tree: keys and values named without regard to
// ASCII case and kept in the case first given, sorted, so that a look-up
// costs O(log n) and the first sub-key is found at once however wide the key.
//
// Names are kept in UTF-8, which holds every character, as the platform's
// registry keeps them in Unicode. The ANSI calls see them through the ANSI
// code page, with '?' for each character it cannot carry, as Windows reports
// them; the wide calls see them as they are.
//
// Plain data with no platform behaviour of its own: the calls, the registry
// file and the host's dump all build on it.
#pragma once

#include "CodePages.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace emulated {

// Keys are at most this many levels below their root, as on Windows.
const std::size_t maxRegistryKeyDepth = 512;

// Orders names as the registry does: ASCII letters without regard to case,
// every other byte as an unsigned number.
struct RegistryNameLess {
    bool operator()(const std::string& a, const std::string& b) const;
};
bool SameRegistryName(const std::string& a, const std::string& b);

struct RegistryValue {
    std::string name; // as first given
    DWORD type = REG_NONE;
    std::string bytes;
};

struct RegistryKey {
    std::string name; // as first given; the root's own name for a root
    RegistryKey* parent = nullptr;
    // Set when the key is removed: handles still open on it learn of it.
    bool deleted = false;
    std::map<std::string, std::shared_ptr<RegistryKey>, RegistryNameLess> keys;
    std::map<std::string, RegistryValue, RegistryNameLess> values;
};

// The three roots the module uses, as one registry.
struct RegistryRoots {
    RegistryRoots();
    std::shared_ptr<RegistryKey> classesRoot;
    std::shared_ptr<RegistryKey> currentUser;
    std::shared_ptr<RegistryKey> localMachine;
};

// The root named "HKEY_CURRENT_USER" (or HKCU...), or null.
std::shared_ptr<RegistryKey> RootNamed(const RegistryRoots& roots, const std::string& name);
// The three roots in the order a registry file lists them.
std::vector<std::shared_ptr<RegistryKey>> AllRoots(const RegistryRoots& roots);

// A name given in `codePage` (or in UTF-8 for utf8CodePage), as kept. A byte
// the code page does not define is kept as the lone surrogate U+DC00 + byte,
// which no real name holds, so that it comes back byte for byte through
// NameToAnsi.
std::string NameFromAnsi(const std::string& text, UINT codePage);
// A kept name as text in `codePage`: '?' for each character it cannot carry.
std::string NameToAnsi(const std::string& name, UINT codePage);
// Whether the name, as text in `codePage`, comes back as it is.
bool CodePageCarries(const std::string& name, UINT codePage);
// A kept name in UTF-16, and back; a lone surrogate is kept as it is.
std::u16string NameToUtf16(const std::string& name);
std::string NameFromUtf16(const char16_t* text, std::size_t length);

// A path's components as kept, split at backslashes; doubled and trailing
// backslashes add none. The path is text in the ANSI code page `codePage`:
// a byte that ends a double-byte character is part of its name even when it
// has the backslash's code. False for a path that begins with a backslash.
bool SplitRegistryPath(const std::string& path, UINT codePage,
                       std::vector<std::string>& components);
// The same for a path in UTF-16 (null: no path).
bool SplitWideRegistryPath(const WCHAR* path, std::vector<std::string>& components);

// The key at the components below `from`, or null.
std::shared_ptr<RegistryKey> FindRegistryKey(const std::shared_ptr<RegistryKey>& from,
                                             const std::vector<std::string>& components);
// The same, making every key that is missing.
std::shared_ptr<RegistryKey> MakeRegistryKey(const std::shared_ptr<RegistryKey>& from,
                                             const std::vector<std::string>& components);
// Detaches the key from its parent and marks it and everything below it
// deleted. A root cannot be removed.
void RemoveRegistryKey(RegistryKey& key);
// Sets a value: a new one keeps the case of the name it is first given, a
// replaced one its old name.
void PutRegistryValue(RegistryKey& key, RegistryValue value);

// The key's full path, "HKEY_CURRENT_USER\Software\...", as stored; with
// components, the path of the key that far below it.
std::string RegistryKeyPath(const RegistryKey& key, const std::vector<std::string>& below = {});
// How many levels below its root the key is (0 for a root).
std::size_t RegistryKeyDepth(const RegistryKey& key);

} // namespace emulated
