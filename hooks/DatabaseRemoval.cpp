// UninstInitialize and CleanupDatabase: removal of the product's database
// folder, the one named by dbPath under the application key.
#include "DatabasePath.h"
#include "DirectoryTree.h"
#include "Hooks.h"
#include "Platform.h"
#include "RegistryValues.h"
#include "SystemFolders.h"
#include "TextString.h"

namespace {

const char* const applicationKey = "Software\\Corvanet\\Lumeno";
const char* const databasePathValue = "dbPath";
const DWORD databasePathSize = 1000;
const char* const productWindowClass = "LumenoMainWindow";

// Reads dbPath and removes the folder it names. A missing, mistyped or
// overlong value removes nothing; so does one that is not the full path of a
// folder below a drive's or a share's root, since the value is whatever was
// last written there and an empty or relative one would otherwise take the
// current folder, or a whole drive, with it. Any other spelling the platform
// accepts for the folder ("D:/db", "D:\db\") is removed as its plain one,
// which is the only form the walk may append entry names to.
//
// The value lives where every program of the user may write it, and the
// removal may run elevated: a value that names one of the system's own
// folders, or a folder that holds one (the Windows folder, Program Files,
// the profiles), removes nothing, whatever spelling or link leads there.
void RemoveDatabaseFolder() {
    try {
        TextString databasePath;
        char* buffer = databasePath.OpenBuffer(static_cast<int32_t>(databasePathSize));
        LONG read = ReadRegString(applicationKey, databasePathValue, buffer, databasePathSize,
                                  HKEY_CURRENT_USER);
        databasePath.CloseBuffer();
        if (read == 0) {
            return;
        }
        TextString folder = ResolveRemovableFolder(databasePath);
        if (!folder.IsEmpty()) {
            RemoveDirectoryTree(folder, SystemFolderChains());
        }
    } catch (...) {
        // Out of memory for the path: there is nothing to remove with, and
        // nothing may reach the host.
    }
}

} // namespace

LONG WINAPI UninstInitialize(HWND window, LONG, LPSTR) {
    if (platform::MessageBoxA(window,
                              "You are about to loose your current registration data\n"
                              "Do you want to proceed ?",
                              "Warning", MB_YESNO | MB_ICONQUESTION) != IDYES) {
        return -1;
    }
    if (platform::FindWindowA(productWindowClass, nullptr) != nullptr) {
        platform::MessageBoxA(window, "Close the VKT and run up setup again.", "Error",
                              MB_OK | MB_ICONSTOP);
        return -1;
    }
    RemoveDatabaseFolder();
    return 0;
}

LONG WINAPI CleanupDatabase(HWND, LONG, LPSTR) {
    RemoveDatabaseFolder();
    return 1;
}
