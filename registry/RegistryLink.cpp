#include "RegistryLink.h"

#include "Platform.h"

namespace {

const char linkValueName[] = "SymbolicLinkValue";

// A key that does not exist, and that Windows lets no one make: nothing is
// created directly below the machine's root. In UTF-16, as a link's target
// always is.
const WCHAR nowhere[] = {'\\', 'R', 'e', 'g', 'i',  's', 't', 'r', 'y', '\\', 'M', 'a', 'c',
                         'h',  'i', 'n', 'e', '\\', 'G', 'a', 'n', 't', 'r',  'e', 'l', ' ',
                         'r',  'e', 'm', 'o', 'v',  'e', 'd', ' ', 'l', 'i',  'n', 'k'};

} // namespace

bool IsRegLink(HKEY key) {
    DWORD type = REG_NONE;
    return platform::RegQueryValueExA(key, linkValueName, nullptr, &type, nullptr, nullptr) ==
               ERROR_SUCCESS &&
           type == REG_LINK;
}

LONG DeleteRegLink(HKEY link) {
    // RegDeleteKeyA opens the key it deletes without REG_OPTION_OPEN_LINK:
    // by the link's name under its parent it reaches the key the link leads
    // to, and removes that key when it has no sub-keys (Wine does so).
    // Through the link's own handle and an empty name Wine removes the link
    // itself, and nothing documents that Windows does not resolve the empty
    // name through the link once more. So the link is first aimed at a key
    // that does not exist: whatever follows it then reaches nothing, and at
    // worst the link stays, leading nowhere.
    if (platform::RegSetValueExA(link, linkValueName, 0, REG_LINK,
                                 reinterpret_cast<const BYTE*>(nowhere),
                                 sizeof nowhere) != ERROR_SUCCESS) {
        return -1;
    }
    return platform::RegDeleteKeyA(link, "") == ERROR_SUCCESS ? 0 : -1;
}
