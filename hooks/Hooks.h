// The seven entry points the host installer calls.
//
// Every one takes three 32-bit arguments (an owner window, a value no entry
// point reads, a text pointer), removes them from the stack itself (the
// platform's system-call convention) and answers a 32-bit result. None lets an
// exception reach the host.
#pragma once

#include "PlatformTypes.h"

extern "C" {

// 1: 1 when Windows Sockets 2.0 can be started, else 0.
LONG WINAPI IsWs2(HWND window, LONG value, LPSTR text);
// 2: asks the user, refuses while the product runs, removes the database
// folder. 0: the removal may go on; -1: stop it.
LONG WINAPI UninstInitialize(HWND window, LONG value, LPSTR text);
// 3: removes the product's registry keys. Always 0.
LONG WINAPI UninstUnInitialize(HWND window, LONG value, LPSTR text);
// 4: appends the hook module's option to the uninstall command. Always 1.
LONG WINAPI SetUninstallInfo(HWND window, LONG value, LPSTR text);
// 5: writes the folder derived from the uninstall command into `text`, a
// buffer of at least 1000 bytes. Always 1.
LONG WINAPI GetVKTFolder(HWND window, LONG value, LPSTR text);
// 6: removes the database folder without asking. Always 1.
LONG WINAPI CleanupDatabase(HWND window, LONG value, LPSTR text);
// 7: imports the settings file named by `text` into the registry. Always 0.
LONG WINAPI SetupServer(HWND window, LONG value, LPSTR text);
}
