// SetUninstallInfo and GetVKTFolder: the uninstall command the host stored,
// extended with the hook module's option, and the folder cut back out of it.
#include "Hooks.h"
#include "LeadBytes.h"
#include "RegistryValues.h"
#include "TextString.h"

#include <cstring>
#include <vector>

namespace {

const char uninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Corvanet VKT";
const char uninstallValue[] = "UninstallString";
const char moduleFileName[] = "Gantrel.dll";
const char moduleOptionLetter = 'c';
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

// One option of the command: a hyphen at the start or after a space, one
// letter, and a double-quoted path running to the next double quote or to
// the end of the command.
struct CommandOption {
    char letter;
    TextString path; // without its quotes
};

// Where the double quote that closes a quoted text opened before `from` is,
// or `length` when the text runs to the end.
int32_t ClosingQuote(const char* text, int32_t from, int32_t length) {
    for (int32_t i = from; i < length; ++i) {
        if (IsLeadByte(static_cast<unsigned char>(text[i]))) {
            ++i;
        } else if (text[i] == '"') {
            return i;
        }
    }
    return length;
}

bool IsOptionLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

struct CommandReading {
    std::vector<CommandOption> options; // in the order they stand
    bool endsQuoted = false;            // the last quoted text runs to the end
};

// The walk steps over double-byte characters whole, so a second byte never
// passes for a hyphen, a space or a quote; text quoted outside an option (an
// uninstaller path with spaces in it) holds no option, and neither does an
// option's own path. Hyphens inside names ("C:\Set-up\uninst.exe",
// "D:\Lumeno-Pro") start nothing.
CommandReading ReadCommand(const TextString& command) {
    CommandReading reading;
    const char* text = command.Text();
    int32_t length = command.Length();
    bool wordStart = true;
    for (int32_t i = 0; i < length;) {
        char c = text[i];
        if (IsLeadByte(static_cast<unsigned char>(c))) {
            i += 2;
            wordStart = false;
            continue;
        }
        bool option = c == '-' && wordStart && i + 2 < length && IsOptionLetter(text[i + 1]) &&
                      text[i + 2] == '"';
        if (!option && c != '"') {
            wordStart = c == ' ';
            ++i;
            continue;
        }
        int32_t pathStart = option ? i + 3 : i + 1;
        int32_t end = ClosingQuote(text, pathStart, length);
        if (option) {
            reading.options.push_back({text[i + 1], command.Left(end).Right(end - pathStart)});
        }
        reading.endsQuoted = end == length;
        i = end + 1;
        wordStart = false;
    }
    return reading;
}

// Whether the last byte begins a double-byte character: anything appended
// would lose its first byte to it.
bool EndsInHalfCharacter(const TextString& command) {
    const char* text = command.Text();
    for (int32_t i = 0; i < command.Length(); ++i) {
        if (IsLeadByte(static_cast<unsigned char>(text[i]))) {
            if (i + 1 == command.Length()) {
                return true;
            }
            ++i;
        }
    }
    return false;
}

void AppendModuleOption() {
    bool unreadable = false;
    TextString command = ReadUninstallCommand(unreadable);
    // A command this hook cannot read (too long, or not plain text) is still
    // the host's: writing the option alone over it would leave the product
    // with no way to be removed. One without an option names no folder for
    // the module, a missing one is not ours to make up, and one that ends in
    // half a character cannot be extended.
    CommandReading reading = ReadCommand(command);
    const std::vector<CommandOption>& options = reading.options;
    if (unreadable || options.empty() || EndsInHalfCharacter(command)) {
        return;
    }
    // The module lies beside the file the host's own option names.
    const TextString& hostPath = options.front().path;
    TextString modulePath = hostPath.Left(hostPath.ReverseFind('\\') + 1) + moduleFileName;
    // A repair or a second pass of the host calls again: the option is there
    // once, and a later one would only bury it.
    for (const CommandOption& option : options) {
        if (option.letter == moduleOptionLetter && option.path == modulePath.Text()) {
            return;
        }
    }
    // A quote the host left open is closed first, or the option would become
    // part of the quoted path.
    if (reading.endsQuoted) {
        command += '"';
    }
    command += TextString(" -") + moduleOptionLetter + '"' + modulePath + '"';
    WriteRegString(uninstallKey, uninstallValue, command.Text(), HKEY_LOCAL_MACHINE);
}

// The folder above the one holding the file the last option names: the
// module's, once SetUninstallInfo has run, the host's before.
TextString FolderFromCommand() {
    bool unreadable = false;
    std::vector<CommandOption> options = ReadCommand(ReadUninstallCommand(unreadable)).options;
    if (options.empty()) {
        return TextString();
    }
    const TextString& path = options.back().path;
    TextString fileFolder = path.Left(path.ReverseFind('\\'));
    return path.Left(fileFolder.ReverseFind('\\'));
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
