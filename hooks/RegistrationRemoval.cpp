#include "Hooks.h"

// Not built yet: answers its fixed result.
LONG WINAPI UninstUnInitialize(HWND, LONG, LPSTR) {
    return 0;
}
