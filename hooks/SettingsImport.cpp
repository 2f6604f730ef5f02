#include "Hooks.h"

// Not built yet: imports nothing.
LONG WINAPI SetupServer(HWND, LONG, LPSTR) {
    return 0;
}
