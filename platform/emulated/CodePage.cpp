// Code page information. The ANSI code page is a setting; GetCPInfo knows
// the code pages a Windows installation commonly runs with.
#include "Operations.h"
#include "CodePageTables.h"
#include "CodePageText.h"
#include "Platform.h"

#include <cstdlib>
#include <cstring>

namespace emulated {
namespace {

const UINT defaultCodePage = 1252;
UINT chosenCodePage = 0; // 0: not chosen in-process, ask the environment

// The conversion of MultiByteToWideChar: the count of units written, or
// needed when `wideSize` is 0; 0 on failure.
int ToWide(UINT codePage, LPCSTR text, int textSize, LPWSTR wide, int wideSize) {
    if (text == nullptr || textSize == 0 || wideSize < 0 || (wide == nullptr && wideSize != 0)) {
        return 0;
    }
    // A size of -1 takes the text with its terminator.
    std::size_t length = textSize < 0 ? std::strlen(text) + 1 : static_cast<std::size_t>(textSize);
    std::u16string converted =
        Utf16FromUtf8(Utf8FromCodePage(text, length, codePage == CP_ACP ? AnsiCodePage() : codePage,
                                       Unconvertible::replaced),
                      Unconvertible::replaced);
    if (wideSize == 0) {
        return static_cast<int>(converted.size());
    }
    if (converted.size() > static_cast<std::size_t>(wideSize)) {
        return 0;
    }
    std::memcpy(wide, converted.data(), converted.size() * sizeof(WCHAR));
    return static_cast<int>(converted.size());
}

} // namespace

void SetCodePage(UINT codePage) {
    chosenCodePage = codePage;
}

void ResetCodePage() {
    chosenCodePage = 0;
}

UINT AnsiCodePage() {
    if (chosenCodePage != 0) {
        return chosenCodePage;
    }
    const char* setting = Setting("GANTREL_CODEPAGE");
    long parsed = setting != nullptr ? std::strtol(setting, nullptr, 10) : 0;
    return parsed > 0 ? static_cast<UINT>(parsed) : defaultCodePage;
}

} // namespace emulated

namespace platform {

UINT GetACP() {
    emulated::Operation operation("GetACP");
    UINT codePage = emulated::AnsiCodePage();
    operation.Trace("", std::to_string(codePage));
    return codePage;
}

BOOL GetCPInfo(UINT codePage, LPCPINFO info) {
    emulated::Operation operation("GetCPInfo");
    if (operation.Faulted() || info == nullptr) {
        return FALSE;
    }
    std::memset(info, 0, sizeof *info);
    info->DefaultChar[0] = '?';
    for (const auto& known : emulated::doubleByteCodePages) {
        if (known.codePage == codePage) {
            info->MaxCharSize = 2;
            std::memcpy(info->LeadByte, known.ranges, sizeof info->LeadByte);
            operation.Trace(std::to_string(codePage), "TRUE (double-byte)");
            return TRUE;
        }
    }
    for (UINT known : emulated::singleByteCodePages) {
        if (known == codePage) {
            info->MaxCharSize = 1;
            operation.Trace(std::to_string(codePage), "TRUE (single-byte)");
            return TRUE;
        }
    }
    operation.Trace(std::to_string(codePage), "FALSE");
    return FALSE;
}

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int textSize, LPWSTR wide,
                        int wideSize) {
    using namespace emulated;
    Operation operation("MultiByteToWideChar");
    int result = operation.Faulted() ? 0 : ToWide(codePage, text, textSize, wide, wideSize);
    if (operation.Tracing()) {
        operation.Trace(std::to_string(codePage) + ", " + Hex(flags) + ", " + Quoted(text) + ", " +
                            std::to_string(textSize) + ", " + std::to_string(wideSize),
                        std::to_string(result));
    }
    return result;
}

} // namespace platform
