// SetUninstallInfo and GetVKTFolder: the uninstall command the host stored,
// extended with the hook module's option, and the folder cut back out of it.
#include "Hooks.h"
#include "RegistryValues.h"
#include "TextString.h"

#include <cstring>

namespace {

const char uninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Corvanet VKT";
const char uninstallValue[] = "UninstallString";
const DWORD commandBufferSize = 1000;

// The stored command as text. A value that cannot be read, including one
// too long for the buffer, is the empty text; the buffer has one byte more
// than the read may fill, so the text always ends inside it. `unreadable`
// tells a value that is there but could not be read from one that is
// missing.
TextString ReadUninstallCommand(bool& unreadable) {
    char buffer[commandBufferSize + 1];
    std::memset(buffer, 0, sizeof buffer);
    unreadable = false;
    if (!ReadRegString(uninstallKey, uninstallValue, buffer, commandBufferSize,
                       HKEY_LOCAL_MACHINE)) {
        buffer[0] = 0;
        DWORD type = 0;
        DWORD size = 0;
        unreadable = QueryRegValue(uninstallKey, uninstallValue, nullptr, &type, nullptr, &size,
                                   HKEY_LOCAL_MACHINE) == ERROR_SUCCESS;
    }
    return TextString(buffer);
}

void AppendModuleOption() {
    bool unreadable = false;
    TextString command = ReadUninstallCommand(unreadable);
    // A command this hook cannot read (too long, or not plain text) is still
    // the host's: writing the option alone over it would leave the product
    // with no way to be removed.
    if (unreadable) {
        return;
    }
    // Everything after the first hyphen and its option letter: the host's
    // quoted file path, opening quote included.
    int32_t hyphen = command.Find("-");
    TextString quotedPath = command.Right(command.Length() - (hyphen + 2));
    int32_t backslash = quotedPath.ReverseFind('\\');
    TextString option = TextString(" -c") + quotedPath.Left(backslash + 1) + "Gantrel.dll" + '"';
    command += option;
    WriteRegString(uninstallKey, uninstallValue, command.Text(), HKEY_LOCAL_MACHINE);
}

TextString FolderFromCommand() {
    bool unreadable = false;
    TextString command = ReadUninstallCommand(unreadable);
    // Everything after the last hyphen, its option letter and the opening
    // quote: the module's path and the closing quote.
    int32_t hyphen = command.ReverseFind('-');
    TextString path = command.Right(command.Length() - (hyphen + 3));
    TextString moduleFolder = path.Left(path.ReverseFind('\\'));
    return path.Left(moduleFolder.ReverseFind('\\'));
}

} // namespace

LONG WINAPI SetUninstallInfo(HWND, LONG, LPSTR) {
    try {
        AppendModuleOption();
    } catch (...) {
        // Out of memory for the command: it stays as the host wrote it.
    }
    return 1;
}

LONG WINAPI GetVKTFolder(HWND, LONG, LPSTR text) {
    if (text == nullptr) {
        return 1;
    }
    try {
        TextString folder = FolderFromCommand();
        // The host's buffer holds 1000 bytes; the folder is always shorter
        // than the command it was cut from, but never trust that blindly.
        std::size_t length = static_cast<std::size_t>(folder.Length());
        if (length > commandBufferSize - 1) {
            length = commandBufferSize - 1;
        }
        std::memcpy(text, folder.Text(), length);
        text[length] = 0;
    } catch (...) {
        text[0] = 0;
    }
    return 1;
}
