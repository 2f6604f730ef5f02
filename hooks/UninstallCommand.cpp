#include "Hooks.h"

// Not built yet: answer the fixed results.
LONG WINAPI SetUninstallInfo(HWND, LONG, LPSTR) {
    return 1;
}

LONG WINAPI GetVKTFolder(HWND, LONG, LPSTR text) {
    if (text != nullptr) {
        text[0] = 0;
    }
    return 1;
}
