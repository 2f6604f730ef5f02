// The helper programs' arguments are ASCII paths and names; the wide calls
// they make take them as UTF-16.
#pragma once

#include <string>

inline std::wstring Wide(const char* text) {
    std::wstring wide;
    while (*text != 0) {
        wide += static_cast<wchar_t>(static_cast<unsigned char>(*text++));
    }
    return wide;
}
