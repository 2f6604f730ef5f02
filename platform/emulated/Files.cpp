// The emulated file system. Not built yet: every operation fails.
#include "Backend.h"
#include "Operations.h"
#include "Platform.h"

#include <cstring>

namespace emulated {
void ResetFiles() {}
} // namespace emulated

namespace platform {

HANDLE FindFirstFileA(LPCSTR, LPWIN32_FIND_DATAA) {
    return INVALID_HANDLE_VALUE;
}
BOOL FindNextFileA(HANDLE, LPWIN32_FIND_DATAA) {
    return FALSE;
}
BOOL FindClose(HANDLE) {
    return FALSE;
}
DWORD GetFileAttributesA(LPCSTR) {
    return INVALID_FILE_ATTRIBUTES;
}
BOOL SetFileAttributesA(LPCSTR, DWORD) {
    return FALSE;
}
BOOL RemoveDirectoryA(LPCSTR) {
    return FALSE;
}
BOOL DeleteFileA(LPCSTR) {
    return FALSE;
}
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
