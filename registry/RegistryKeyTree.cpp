#include "RegistryKeyTree.h"

#include "OpenedKey.h"
#include "Platform.h"
#include "RegistryValues.h"
#include "TextString.h"

namespace {

// Sub-key names of up to 49 bytes fit the enumeration; longer ones end the
// walk of their level.
const DWORD nameBufferSize = 50;

} // namespace

LONG DeleteRegKeyTree(const char* subKey, HKEY root) {
    // Where the platform removes whole trees at once, this is all it takes.
    if (platform::RegDeleteKeyA(root, subKey) == ERROR_SUCCESS) {
        return 0;
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
        TextString child = path + "\\" + name;
        DeleteRegKeyTree(child.Text(), root);
        handedDown = name;
        anyHandedDown = true;
        nameSize = nameBufferSize;
        name.Empty();
    }
    platform::RegDeleteKeyA(root, subKey);
    return 0;
}
