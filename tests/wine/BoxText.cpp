// Reads a message box the way a person sees it: waits for the top-level
// window with the given caption and prints the text of each control in it
// (the message, then the buttons), one per line.
//   BoxText.exe CAPTION
// Exit status 1 when no such window appears within 30 seconds.
#include <windows.h>

#include <cstdio>

namespace {

BOOL CALLBACK PrintControl(HWND control, LPARAM) {
    char text[1024];
    if (GetWindowTextA(control, text, sizeof text) > 0) {
        std::printf("%s\n", text);
    }
    return TRUE;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    for (int tries = 0; tries < 300; ++tries) {
        HWND box = FindWindowA(nullptr, argv[1]);
        if (box != nullptr && IsWindowVisible(box)) {
            EnumChildWindows(box, PrintControl, 0);
            return 0;
        }
        Sleep(100);
    }
    return 1;
}
