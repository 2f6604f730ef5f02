// Where the system keeps its own folders: straight calls of kernel32.
#include "Platform.h"

namespace platform {

UINT GetWindowsDirectoryW(LPWSTR buffer, UINT size) {
    return ::GetWindowsDirectoryW(buffer, size);
}

UINT GetSystemWindowsDirectoryW(LPWSTR buffer, UINT size) {
    return ::GetSystemWindowsDirectoryW(buffer, size);
}

UINT GetSystemDirectoryW(LPWSTR buffer, UINT size) {
    return ::GetSystemDirectoryW(buffer, size);
}

DWORD GetEnvironmentVariableW(LPCWSTR name, LPWSTR buffer, DWORD size) {
    return ::GetEnvironmentVariableW(name, buffer, size);
}

DWORD ExpandEnvironmentStringsW(LPCWSTR text, LPWSTR buffer, DWORD size) {
    return ::ExpandEnvironmentStringsW(text, buffer, size);
}

} // namespace platform
