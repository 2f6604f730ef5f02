// Registry operations: straight calls of advapi32.
#include "Platform.h"

namespace platform {

LONG RegCreateKeyExA(HKEY root, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options,
                     REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result,
                     LPDWORD disposition) {
    return ::RegCreateKeyExA(root, subKey, reserved, keyClass, options, access, security, result,
                             disposition);
}

LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD size) {
    return ::RegQueryValueExA(key, valueName, reserved, type, data, size);
}

LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD size) {
    return ::RegSetValueExA(key, valueName, reserved, type, data, size);
}

LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved,
                   LPSTR keyClass, LPDWORD classSize, FILETIME* lastWriteTime) {
    return ::RegEnumKeyExA(key, index, name, nameSize, reserved, keyClass, classSize,
                           lastWriteTime);
}

LONG RegDeleteKeyA(HKEY root, LPCSTR subKey) {
    return ::RegDeleteKeyA(root, subKey);
}

LONG RegOpenKeyExA(HKEY root, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result) {
    return ::RegOpenKeyExA(root, subKey, options, access, result);
}

LONG RegOpenKeyExW(HKEY root, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result) {
    return ::RegOpenKeyExW(root, subKey, options, access, result);
}

LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameSize, LPDWORD reserved,
                   LPWSTR keyClass, LPDWORD classSize, FILETIME* lastWriteTime) {
    return ::RegEnumKeyExW(key, index, name, nameSize, reserved, keyClass, classSize,
                           lastWriteTime);
}

LONG RegDeleteKeyW(HKEY root, LPCWSTR subKey) {
    return ::RegDeleteKeyW(root, subKey);
}

LONG RegCloseKey(HKEY key) {
    return ::RegCloseKey(key);
}

} // namespace platform
