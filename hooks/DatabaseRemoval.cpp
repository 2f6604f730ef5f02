#include "Hooks.h"

// Not built yet: answer without asking and without removing anything.
LONG WINAPI UninstInitialize(HWND, LONG, LPSTR) {
    return -1;
}

LONG WINAPI CleanupDatabase(HWND, LONG, LPSTR) {
    return 1;
}
