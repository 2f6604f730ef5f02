// Code page information. The ANSI code page is a setting; GetCPInfo knows
// the code pages a Windows installation commonly runs with.
#include "Backend.h"
#include "CodePageTables.h"
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

} // namespace platform
