#include "RegistryKeyTree.h"

#include "OpenedKey.h"
#include "Platform.h"
#include "RegistryLink.h"
#include "RegistryValues.h"
#include "TextString.h"
#include "WideText.h"

namespace {

// Sub-key names of up to 49 bytes fit the enumeration; longer ones end the
// walk of their level.
const DWORD nameBufferSize = 50;

// A key's name holds at most 255 characters, and the terminating zero.
const DWORD wideNameBufferSize = 256;

// What a level answers when the path it was handed reaches no key: the
// name the enumeration gave for it stands for characters the ANSI code page
// cannot carry ('?', or a look-alike letter), and opening it would only
// create a key of that name.
const LONG pathReachesNothing = 1;

// What a level finds at the key it is handed, opened as it is: a sub-key
// created as a registry link is never walked, since everything below it
// belongs to the key it leads to, anywhere in the registry. It goes as the
// link, or stays.
enum class Found { Key, LinkRemoved, LinkKept, Nothing, Unknown };

// `status` and `opened`: what an open with REG_OPTION_OPEN_LINK answered.
Found LookAtOpenedKey(LONG status, HKEY opened) {
    if (status == ERROR_FILE_NOT_FOUND) {
        return Found::Nothing;
    }
    if (status != ERROR_SUCCESS) {
        return Found::Unknown;
    }
    OpenedKey key(opened);
    if (!IsRegLink(key.Get())) {
        return Found::Key;
    }
    return DeleteRegLink(key.Get()) == 0 ? Found::LinkRemoved : Found::LinkKept;
}

// Whether a name the enumeration answered with `enumerated` units, of which
// `upToZero` come before its first zero, is the whole name: one with a zero
// inside (a key made through the native calls may have one) is cut short
// there and names another key, an empty one the key it came from, whose
// walk would meet the same name again and never end.
bool IsWholeName(DWORD upToZero, DWORD enumerated) {
    return enumerated != 0 && upToZero == enumerated;
}

DWORD UnitsUpToZero(const WCHAR* name, DWORD enumerated) {
    DWORD units = 0;
    while (units < enumerated && name[units] != 0) {
        ++units;
    }
    return units;
}

// Removes the sub-key `name` of `parent` and everything below it, every key
// reached through its wide name relative to the open key above it, so that
// neither the code page nor the length of a path stands in the way. 0 when
// it is gone, -1 when it is not.
LONG DeleteWideKeyTree(HKEY parent, const WCHAR* name) {
    HKEY itself = nullptr;
    LONG opening =
        platform::RegOpenKeyExW(parent, name, REG_OPTION_OPEN_LINK, KEY_ALL_ACCESS, &itself);
    switch (LookAtOpenedKey(opening, itself)) {
    case Found::Key:
        break;
    case Found::LinkRemoved:
        return 0;
    default:
        return -1;
    }
    if (platform::RegDeleteKeyW(parent, name) == ERROR_SUCCESS) {
        return 0;
    }
    {
        HKEY opened = nullptr;
        if (platform::RegOpenKeyExW(parent, name, 0, KEY_ALL_ACCESS, &opened) != ERROR_SUCCESS) {
            return -1;
        }
        OpenedKey key(opened);
        WCHAR child[wideNameBufferSize];
        WideText handedDown;
        bool anyHandedDown = false;
        for (;;) {
            DWORD size = wideNameBufferSize;
            LONG status = platform::RegEnumKeyExW(key.Get(), 0, child, &size, nullptr, nullptr,
                                                  nullptr, nullptr);
            if (status == ERROR_NO_MORE_ITEMS) {
                break;
            }
            // As in the ANSI walk: a sub-key met again first could not go.
            if (status != ERROR_SUCCESS || !IsWholeName(UnitsUpToZero(child, size), size) ||
                (anyHandedDown && handedDown == child)) {
                return -1;
            }
            DeleteWideKeyTree(key.Get(), child);
            handedDown.assign(child, size);
            anyHandedDown = true;
        }
    }
    return platform::RegDeleteKeyW(parent, name) == ERROR_SUCCESS ? 0 : -1;
}

// The first sub-key of `key`, which the ANSI enumeration named `ansiName`
// and which that name does not reach, removed through its wide name. False
// when it could not be removed; true too when the first sub-key is another
// one by now (another process changed the key), which the walk then meets.
bool DeleteUnreachableSubKey(HKEY key, const TextString& ansiName) {
    WCHAR wide[wideNameBufferSize];
    DWORD wideSize = wideNameBufferSize;
    if (platform::RegEnumKeyExW(key, 0, wide, &wideSize, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS ||
        !IsWholeName(UnitsUpToZero(wide, wideSize), wideSize)) {
        return false;
    }
    TextString again;
    DWORD size = nameBufferSize;
    LONG status = platform::RegEnumKeyExA(key, 0, again.OpenBuffer(nameBufferSize), &size, nullptr,
                                          nullptr, nullptr, nullptr);
    again.CloseBuffer();
    if (status != ERROR_SUCCESS || CompareText(again.Text(), ansiName.Text()) != 0) {
        return status == ERROR_SUCCESS;
    }
    return DeleteWideKeyTree(key, wide) == 0;
}

// One level of the walk. `enumerated`: the path ends in a name a level above
// just enumerated, rather than one the caller gave.
LONG DeleteKeyLevel(const char* subKey, HKEY root, bool enumerated) {
    HKEY opened = nullptr;
    LONG opening =
        platform::RegOpenKeyExA(root, subKey, REG_OPTION_OPEN_LINK, KEY_ALL_ACCESS, &opened);
    switch (LookAtOpenedKey(opening, opened)) {
    case Found::Key:
        break;
    case Found::LinkRemoved:
        return 0;
    case Found::Nothing:
        // A path the caller gave that does not exist is removed as any
        // other, leaving its parents behind.
        if (enumerated) {
            return pathReachesNothing;
        }
        break;
    default:
        return -1;
    }
    // Where the platform removes whole trees at once, this is all it takes.
    LONG deleted = platform::RegDeleteKeyA(root, subKey);
    if (deleted == ERROR_SUCCESS) {
        return 0;
    }
    if (enumerated && deleted == ERROR_FILE_NOT_FOUND) {
        return pathReachesNothing;
    }
    // Closed however the level ends, an exception included.
    OpenedKey key(OpenRegKey(subKey, root));
    if (key.Get() == nullptr) {
        return -1;
    }
    TextString path(subKey);
    TextString name;
    TextString handedDown;
    bool anyHandedDown = false;
    DWORD nameSize = nameBufferSize;
    for (;;) {
        // Always index 0: every sub-key is gone before the next is asked for.
        LONG status = platform::RegEnumKeyExA(key.Get(), 0, name.OpenBuffer(nameBufferSize),
                                              &nameSize, nullptr, nullptr, nullptr, nullptr);
        name.CloseBuffer();
        if (status == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (status != ERROR_SUCCESS) {
            return -1;
        }
        // The sub-key just handed down is still first: it could not be
        // removed (access denied, or a name below it does not fit), and
        // handing it down again would never end.
        if (anyHandedDown && CompareText(name.Text(), handedDown.Text()) == 0) {
            return -1;
        }
        LONG removed = pathReachesNothing;
        if (IsWholeName(static_cast<DWORD>(name.Length()), nameSize)) {
            TextString child = path + "\\" + name;
            removed = DeleteKeyLevel(child.Text(), root, true);
        }
        if (removed == pathReachesNothing) {
            if (!DeleteUnreachableSubKey(key.Get(), name)) {
                return -1;
            }
            // Gone: a sibling may show the same ANSI name and is no repeat.
            anyHandedDown = false;
        } else {
            handedDown = name;
            anyHandedDown = true;
        }
        nameSize = nameBufferSize;
        name.Empty();
    }
    platform::RegDeleteKeyA(root, subKey);
    return 0;
}

} // namespace

LONG DeleteRegKeyTree(const char* subKey, HKEY root) {
    return DeleteKeyLevel(subKey, root, false);
}
