// Run-time library loading and code page information: straight calls of kernel32.
#include "Platform.h"

namespace platform {

HMODULE LoadLibraryA(LPCSTR fileName) {
    return ::LoadLibraryA(fileName);
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
