// SetupServer: copies the settings of a text file into the application key,
// one value per line.
#include "Hooks.h"
#include "RegistryValues.h"
#include "SettingsFile.h"
#include "TextString.h"

#include <cstdint>

namespace {

const char applicationKey[] = "Software\\Corvanet\\Lumeno";

// name=value: the name is everything before the first equals sign, the value
// everything after it. Without one, the whole line is the value and the
// name is empty.
void SplitNameValue(const TextString& line, TextString& name, TextString& value) {
    int32_t equals = line.Find('=');
    value = line.Right(line.Length() - equals - 1);
    name = line.Left(equals);
}

bool IsSpace(unsigned char c) {
    return c == ' ' || (c >= 0x09 && c <= 0x0D);
}

// A decimal number read as atol reads it in the classic locale, wrapping
// around in 32 bits instead of overflowing: 4294967295 is -1.
LONG ConvertNumber(const char* text) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (IsSpace(*p)) {
        ++p;
    }
    bool negative = *p == '-';
    if (*p == '-' || *p == '+') {
        ++p;
    }
    uint32_t total = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        total = total * 10u + static_cast<uint32_t>(*p - '0');
    }
    if (negative) {
        total = 0u - total;
    }
    return static_cast<LONG>(total);
}

void ImportSettings(const char* path) {
    SettingsFile file(path);
    file.Rewind();
    TextString line;
    TextString name;
    TextString value;
    while (file.ReadLine(line)) {
        // Compared as text, so a line of one lone lead byte counts as empty.
        if (line == "") {
            continue;
        }
        SplitNameValue(line, name, value);
        if (value.Find('"') >= 0) {
            value.Replace("\"", "");
            WriteRegString(applicationKey, name.Text(), value.Text(), HKEY_CURRENT_USER);
        } else {
            WriteRegLong(applicationKey, name.Text(), ConvertNumber(value.Text()),
                         HKEY_CURRENT_USER);
        }
        value.Empty();
        name.Empty();
        line.Empty();
    }
    file.Close();
}

} // namespace

LONG WINAPI SetupServer(HWND, LONG, LPSTR path) {
    // No path is a file that cannot be opened: nothing to import.
    if (path == nullptr) {
        return 0;
    }
    try {
        ImportSettings(path);
    } catch (...) {
        // A file that cannot be read, or memory that ran out: what was
        // written stays written, and the host hears nothing of it.
    }
    return 0;
}
