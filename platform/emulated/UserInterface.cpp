// Emulated message boxes and window lookup. Not built yet: every box is
// answered No, and no window is open.
#include "Backend.h"
#include "Operations.h"
#include "Platform.h"

namespace emulated {
void ResetUserInterface() {}
} // namespace emulated

namespace platform {

int MessageBoxA(HWND, LPCSTR, LPCSTR, UINT type) {
    return (type & 0xF) == MB_YESNO ? IDNO : IDOK;
}
HWND FindWindowA(LPCSTR, LPCSTR) {
    return nullptr;
}

} // namespace platform
