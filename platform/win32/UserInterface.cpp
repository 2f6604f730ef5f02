// Message boxes and window lookup: straight calls of user32.
#include "Platform.h"

namespace platform {

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    return ::MessageBoxA(owner, text, caption, type);
}

HWND FindWindowA(LPCSTR className, LPCSTR windowName) {
    return ::FindWindowA(className, windowName);
}

} // namespace platform
