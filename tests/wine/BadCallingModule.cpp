// A module whose IsWs2 leaves its arguments on the stack (the C calling
// convention), so the suite can see the host's stack check catch it.
#include <windows.h>

extern "C" __declspec(dllexport) LONG __cdecl IsWs2(HWND, LONG, LPSTR) {
    return 1;
}
