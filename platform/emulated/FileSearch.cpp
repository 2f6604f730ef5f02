// The emulated file system: listing and removal. Not built yet: every
// operation fails.
#include "Backend.h"
#include "Operations.h"
#include "Platform.h"

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

} // namespace platform
