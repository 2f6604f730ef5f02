// Code page information. The ANSI code page is a setting; GetCPInfo knows
// the code pages a Windows installation commonly runs with.
#include "Backend.h"
#include "Operations.h"
#include "Platform.h"

#include <cstdlib>
#include <cstring>

namespace emulated {
namespace {

const UINT defaultCodePage = 1252;
UINT chosenCodePage = 0; // 0: not chosen in-process, ask the environment

struct DoubleByteCodePage {
    UINT codePage;
    BYTE ranges[MAX_LEADBYTES];
};

// Lead-byte ranges as GetCPInfo reports them: pairs, ended by a zero pair.
const DoubleByteCodePage doubleByteCodePages[] = {
    {932, {0x81, 0x9F, 0xE0, 0xFC}},
    {936, {0x81, 0xFE}},
    {949, {0x81, 0xFE}},
    {950, {0x81, 0xFE}},
    {1361, {0x84, 0xD3, 0xD8, 0xDE, 0xE0, 0xF9}},
    {20932, {0x8E, 0x8E, 0xA1, 0xFE}},
};

const UINT singleByteCodePages[] = {437,  850,  852,  866,  874,  1250, 1251,  1252,
                                    1253, 1254, 1255, 1256, 1257, 1258, 20127, 28591};

} // namespace

void SetCodePage(UINT codePage) {
    chosenCodePage = codePage;
}

void ResetCodePage() {
    chosenCodePage = 0;
}

} // namespace emulated

namespace platform {

UINT GetACP() {
    emulated::BeginOperation("GetACP");
    UINT codePage = emulated::chosenCodePage;
    if (codePage == 0) {
        const char* setting = emulated::Setting("GANTREL_CODEPAGE");
        long parsed = setting != nullptr ? std::strtol(setting, nullptr, 10) : 0;
        codePage = parsed > 0 ? static_cast<UINT>(parsed) : emulated::defaultCodePage;
    }
    emulated::TraceOperation("GetACP", "", std::to_string(codePage));
    return codePage;
}

BOOL GetCPInfo(UINT codePage, LPCPINFO info) {
    if (emulated::BeginOperation("GetCPInfo") != emulated::FaultKind::None || info == nullptr) {
        return FALSE;
    }
    std::memset(info, 0, sizeof *info);
    info->DefaultChar[0] = '?';
    for (const auto& known : emulated::doubleByteCodePages) {
        if (known.codePage == codePage) {
            info->MaxCharSize = 2;
            std::memcpy(info->LeadByte, known.ranges, sizeof info->LeadByte);
            emulated::TraceOperation("GetCPInfo", std::to_string(codePage), "TRUE (double-byte)");
            return TRUE;
        }
    }
    for (UINT known : emulated::singleByteCodePages) {
        if (known == codePage) {
            info->MaxCharSize = 1;
            emulated::TraceOperation("GetCPInfo", std::to_string(codePage), "TRUE (single-byte)");
            return TRUE;
        }
    }
    emulated::TraceOperation("GetCPInfo", std::to_string(codePage), "FALSE");
    return FALSE;
}

} // namespace platform
