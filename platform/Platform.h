// Every operation the module asks of its platform.
//
// Each function takes and answers exactly what the Windows API function of the
// same name does; the module's logic calls nothing else below it. Exactly one
// backend is linked into a build: platform/win32 forwards to the real API,
// platform/emulated serves Linux. PlatformTypes.h comes from the backend's own
// folder, so the types here are <windows.h>'s on Windows and compatible
// definitions elsewhere.
#pragma once

#include "PlatformTypes.h"

namespace platform {

// Registry (advapi32).
LONG RegCreateKeyExA(HKEY root, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options,
                     REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result,
                     LPDWORD disposition);
LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD size);
LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD size);
LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved,
                   LPSTR keyClass, LPDWORD classSize, FILETIME* lastWriteTime);
LONG RegDeleteKeyA(HKEY root, LPCSTR subKey);
LONG RegCloseKey(HKEY key);
// With REG_OPTION_OPEN_LINK, the key walk opens a registry link itself
// rather than the key it leads to.
LONG RegOpenKeyExA(HKEY root, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result);
// The wide calls reach keys whose names the ANSI code page cannot carry.
LONG RegOpenKeyExW(HKEY root, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result);
LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameSize, LPDWORD reserved,
                   LPWSTR keyClass, LPDWORD classSize, FILETIME* lastWriteTime);
LONG RegDeleteKeyW(HKEY root, LPCWSTR subKey);

// Files (kernel32): the wide calls, which reach every name, in any script,
// and paths of any depth through their verbatim form ("\\?\D:\...").
HANDLE FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW findData);
BOOL FindNextFileW(HANDLE search, LPWIN32_FIND_DATAW findData);
BOOL FindClose(HANDLE search);
BOOL SetFileAttributesW(LPCWSTR path, DWORD attributes);
BOOL RemoveDirectoryW(LPCWSTR path);
BOOL DeleteFileW(LPCWSTR path);
HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE templateFile);
BOOL GetFileInformationByHandle(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information);
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int textSize, LPWSTR wide,
                        int wideSize);
HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE templateFile);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED overlapped);
DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method);
BOOL CloseHandle(HANDLE handle);
int lstrlenA(LPCSTR text);

// Where the system keeps its own folders (kernel32): the folders a removal
// must never empty.
UINT GetWindowsDirectoryW(LPWSTR buffer, UINT size);
UINT GetSystemWindowsDirectoryW(LPWSTR buffer, UINT size);
UINT GetSystemDirectoryW(LPWSTR buffer, UINT size);
DWORD GetEnvironmentVariableW(LPCWSTR name, LPWSTR buffer, DWORD size);
DWORD ExpandEnvironmentStringsW(LPCWSTR text, LPWSTR buffer, DWORD size);

// User interface (user32).
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
HWND FindWindowA(LPCSTR className, LPCSTR windowName);

// Run-time library loading (kernel32).
UINT GetSystemDirectoryA(LPSTR buffer, UINT size);
HMODULE LoadLibraryExA(LPCSTR fileName, HANDLE reserved, DWORD flags);
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
BOOL FreeLibrary(HMODULE module);

// Code page information (kernel32).
UINT GetACP();
BOOL GetCPInfo(UINT codePage, LPCPINFO info);

// The signature of WSAStartup, reached only through GetProcAddress.
typedef int(WSAAPI* WsaStartupFunction)(WORD versionRequested, LPWSADATA data);
typedef int(WSAAPI* WsaCleanupFunction)();

} // namespace platform
