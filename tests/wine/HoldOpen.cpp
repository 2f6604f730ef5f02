// Holds a file open the way a running program does, sharing reads only, so
// that no other process can delete it.
//   HoldOpen.exe FILE READY-FILE
// creates READY-FILE once FILE is open, then waits until it is ended.
#include <windows.h>

int main(int argc, char** argv) {
    if (argc != 3) {
        return 2;
    }
    HANDLE held = CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held == INVALID_HANDLE_VALUE) {
        return 1;
    }
    HANDLE ready = CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (ready == INVALID_HANDLE_VALUE) {
        return 1;
    }
    CloseHandle(ready);
    Sleep(INFINITE);
    return 0;
}
