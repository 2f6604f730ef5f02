// What the ANSI and the wide registry calls share once their texts are
// names as kept. Internal to the backend.
#pragma once

#include "Control.h"
#include "Operations.h"
#include "RegistryKeys.h"

#include <string>
#include <vector>

namespace emulated {

// A sub-key path as a call passed it: whether it was there at all, whether
// it could be split, and its components as kept.
struct PathGiven {
    bool given = false;
    bool split = false;
    std::vector<std::string> components;
};

// How a registry call fails for the fault injected into it; 0 for none.
LONG RegistryFault(const Operation& operation);
// A handle and a status as the trace shows them.
std::string Handle(HKEY key);
std::string Status(LONG status);

// RegCreateKeyEx (`create`) or RegOpenKeyEx on the path below `root`. A
// key created is saved to the registry file first, and is not made when the
// file cannot take it.
LONG OpenKeyAt(HKEY root, const PathGiven& path, bool create, PHKEY result, LPDWORD disposition);
// RegEnumKeyEx up to the name: the sub-key at `index`, or the status. The
// caller holds a RegistryAccess while it uses the sub-key.
LONG SubKeyOf(HKEY handle, DWORD index, bool argumentsValid, const RegistryKey*& child);
// RegDeleteKey of the path below `root`, saved to the registry file first.
LONG DeleteKeyAt(HKEY root, const PathGiven& path);

// What an enumeration writes besides the name: no class, no time.
template <typename Character>
void ClearClassAndTime(Character* keyClass, LPDWORD classSize, FILETIME* lastWriteTime) {
    if (keyClass != nullptr && classSize != nullptr && *classSize > 0) {
        keyClass[0] = 0;
        *classSize = 0;
    }
    if (lastWriteTime != nullptr) {
        *lastWriteTime = FILETIME{0, 0};
    }
}

} // namespace emulated
