// The emulated registry. Not built yet: every operation fails.
#include "Backend.h"
#include "Operations.h"
#include "Platform.h"

namespace emulated {
void ResetRegistry() {}
} // namespace emulated

namespace platform {

LONG RegCreateKeyExA(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY result,
                     LPDWORD) {
    if (result != nullptr) {
        *result = nullptr;
    }
    return ERROR_NOT_SUPPORTED;
}
LONG RegQueryValueExA(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD) {
    return ERROR_NOT_SUPPORTED;
}
LONG RegSetValueExA(HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD) {
    return ERROR_NOT_SUPPORTED;
}
LONG RegEnumKeyExA(HKEY, DWORD, LPSTR, LPDWORD, LPDWORD, LPSTR, LPDWORD, FILETIME*) {
    return ERROR_NOT_SUPPORTED;
}
LONG RegDeleteKeyA(HKEY, LPCSTR) {
    return ERROR_NOT_SUPPORTED;
}
LONG RegCloseKey(HKEY) {
    return ERROR_INVALID_HANDLE;
}

} // namespace platform
