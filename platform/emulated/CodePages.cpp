// The emulated code pages: the ANSI code page is a setting (1252 unless
// chosen), and GetCPInfo knows the code pages a Windows installation
// commonly runs with.
#include "CodePages.h"
#include "Operations.h"
#include "Platform.h"

#include <cstdlib>
#include <cstring>

namespace emulated {
namespace {

const UINT defaultCodePage = 1252;
UINT chosenCodePage = 0; // 0: not chosen in-process, ask the environment

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

// The count of units written, or needed when `wideSize` is 0; 0 when the
// arguments are wrong or the units do not fit.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int textSize, LPWSTR wide,
                        int wideSize) {
    using namespace emulated;
    Operation operation("MultiByteToWideChar");
    int result = 0;
    if (!operation.Faulted() && text != nullptr && textSize != 0 && wideSize >= 0 &&
        (wide != nullptr || wideSize == 0)) {
        // A size of -1 takes the text with its terminator.
        std::size_t length =
            textSize < 0 ? std::strlen(text) + 1 : static_cast<std::size_t>(textSize);
        std::u16string converted = Utf16FromUtf8(
            Utf8FromCodePage(text, length, codePage == CP_ACP ? AnsiCodePage() : codePage,
                             Unconvertible::replaced),
            Unconvertible::replaced);
        bool fits = converted.size() <= static_cast<std::size_t>(wideSize);
        if (fits) {
            std::memcpy(wide, converted.data(), converted.size() * sizeof(WCHAR));
        }
        result = wideSize == 0 || fits ? static_cast<int>(converted.size()) : 0;
    }
    if (operation.Tracing()) {
        operation.Trace(std::to_string(codePage) + ", " + Hex(flags) + ", " + Quoted(text) + ", " +
                            std::to_string(textSize) + ", " + std::to_string(wideSize),
                        std::to_string(result));
    }
    return result;
}

} // namespace platform
