// Stands in for the running product: a top-level window of the class the
// removal hook looks for.
//   LumenoWindow.exe READY-FILE
// creates READY-FILE once the window exists, and closes the window and ends
// once READY-FILE is gone, as the product ends when its user closes it.
#include <windows.h>

namespace {

const char* readyFile = nullptr;

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    if (message == WM_TIMER && GetFileAttributesA(readyFile) == INVALID_FILE_ATTRIBUTES) {
        DestroyWindow(window);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "LumenoMainWindow";
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    if (RegisterClassA(&windowClass) == 0) {
        return 1;
    }
    HWND window = CreateWindowA("LumenoMainWindow", "Lumeno", WS_OVERLAPPEDWINDOW, 40, 40, 320, 200,
                                nullptr, nullptr, windowClass.hInstance, nullptr);
    if (window == nullptr) {
        return 1;
    }
    ShowWindow(window, SW_SHOWNORMAL);
    HANDLE ready = CreateFileA(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (ready == INVALID_HANDLE_VALUE) {
        return 1;
    }
    CloseHandle(ready);
    readyFile = argv[1];
    SetTimer(window, 1, 100, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
