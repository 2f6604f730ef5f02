// The words the rows answer in.
#include "AnswerTable.h"

#include <cstdio>

namespace answers {

const char sandboxPath[] = "Software\\Gantrel conformance";

Wide W(const char16_t* text) {
    Wide wide;
    while (*text != 0) {
        wide += static_cast<WCHAR>(*text++);
    }
    return wide;
}

Wide Widened(const std::string& bytes) {
    Wide wide;
    for (char byte : bytes) {
        wide += static_cast<WCHAR>(static_cast<unsigned char>(byte));
    }
    return wide;
}

Wide Below(const Fixture& fixture, const char16_t* relative) {
    return fixture.folder + static_cast<WCHAR>('\\') + W(relative);
}

std::string Shown(const Wide& text) {
    std::string shown;
    for (WCHAR unit : text) {
        char escaped[8];
        if (unit >= 0x20 && unit < 0x7F) {
            shown += static_cast<char>(unit);
        } else {
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(unit));
            shown += escaped;
        }
    }
    return shown;
}

std::string Shown(const std::string& bytes) {
    std::string shown;
    for (char byte : bytes) {
        unsigned char unit = static_cast<unsigned char>(byte);
        char escaped[8];
        if (unit >= 0x20 && unit < 0x7F) {
            shown += byte;
        } else {
            std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned>(unit));
            shown += escaped;
        }
    }
    return shown;
}

std::string Hex(unsigned long value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%lX", value);
    return text;
}

std::string Number(long value) {
    return std::to_string(value);
}

std::string Truth(BOOL value) {
    return value ? "TRUE" : "FALSE";
}

std::string Join(std::initializer_list<std::string> parts, const char* separator) {
    std::string joined;
    for (const std::string& part : parts) {
        joined += (joined.empty() ? "" : separator) + part;
    }
    return joined;
}

std::string NeedsCodePage1252() {
    UINT codePage = platform::GetACP();
    return codePage == 1252 ? "" : "not asked: the ANSI code page is " + Number(codePage);
}

} // namespace answers
