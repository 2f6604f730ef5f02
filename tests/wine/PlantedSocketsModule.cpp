// A stranger's ws2_32.dll, for the export suite to plant beside the host
// program: its WSAStartup leaves C:\planted-ws2_32.txt behind and answers
// version 1.1, so a module that loads it shows both ways.
// Without winsock.h, whose declarations these would clash with.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

extern "C" __declspec(dllexport) int WINAPI WSAStartup(WORD, WORD* data) {
    HANDLE mark = CreateFileA("C:\\planted-ws2_32.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (mark != INVALID_HANDLE_VALUE) {
        CloseHandle(mark);
    }
    // The first field of the start-up record is the version word.
    *data = MAKEWORD(1, 1);
    return 0;
}

extern "C" __declspec(dllexport) int WINAPI WSACleanup() {
    return 0;
}
