// The emulated file system: opening and reading a file. Not built yet: every
// operation fails.
#include "Operations.h"
#include "Platform.h"

#include <cstring>

namespace platform {

HANDLE CreateFileA(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) {
    return INVALID_HANDLE_VALUE;
}
BOOL ReadFile(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED) {
    return FALSE;
}
DWORD SetFilePointer(HANDLE, LONG, LONG*, DWORD) {
    return INVALID_SET_FILE_POINTER;
}
BOOL CloseHandle(HANDLE) {
    return FALSE;
}
int lstrlenA(LPCSTR text) {
    return text != nullptr ? static_cast<int>(std::strlen(text)) : 0;
}

} // namespace platform
