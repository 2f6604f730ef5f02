// Run-time library loading and code page information: straight calls of kernel32.
#include "Platform.h"

namespace platform {

UINT GetSystemDirectoryA(LPSTR buffer, UINT size) {
    return ::GetSystemDirectoryA(buffer, size);
}

HMODULE LoadLibraryExA(LPCSTR fileName, HANDLE reserved, DWORD flags) {
    return ::LoadLibraryExA(fileName, reserved, flags);
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
    return ::GetProcAddress(module, procName);
}

BOOL FreeLibrary(HMODULE module) {
    return ::FreeLibrary(module);
}

UINT GetACP() {
    return ::GetACP();
}

BOOL GetCPInfo(UINT codePage, LPCPINFO info) {
    return ::GetCPInfo(codePage, info);
}

} // namespace platform
