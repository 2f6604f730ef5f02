// File operations: straight calls of kernel32.
#include "Platform.h"

namespace platform {

BOOL FindClose(HANDLE search) {
    return ::FindClose(search);
}

HANDLE FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW findData) {
    return ::FindFirstFileW(pattern, findData);
}

BOOL FindNextFileW(HANDLE search, LPWIN32_FIND_DATAW findData) {
    return ::FindNextFileW(search, findData);
}

BOOL SetFileAttributesW(LPCWSTR path, DWORD attributes) {
    return ::SetFileAttributesW(path, attributes);
}

BOOL RemoveDirectoryW(LPCWSTR path) {
    return ::RemoveDirectoryW(path);
}

BOOL DeleteFileW(LPCWSTR path) {
    return ::DeleteFileW(path);
}

HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE templateFile) {
    return ::CreateFileW(path, access, shareMode, security, disposition, flags, templateFile);
}

BOOL GetFileInformationByHandle(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information) {
    return ::GetFileInformationByHandle(file, information);
}

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int textSize, LPWSTR wide,
                        int wideSize) {
    return ::MultiByteToWideChar(codePage, flags, text, textSize, wide, wideSize);
}

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE templateFile) {
    return ::CreateFileA(path, access, shareMode, security, disposition, flags, templateFile);
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED overlapped) {
    return ::ReadFile(file, buffer, toRead, read, overlapped);
}

DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method) {
    return ::SetFilePointer(file, distance, distanceHigh, method);
}

BOOL CloseHandle(HANDLE handle) {
    return ::CloseHandle(handle);
}

int lstrlenA(LPCSTR text) {
    return ::lstrlenA(text);
}

} // namespace platform
