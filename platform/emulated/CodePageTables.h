// The code pages the emulated platform knows, as plain data: GetCPInfo
// answers from them, and the registry reads its key paths as text in the
// ANSI code page with them. Internal to the backend and the host's dump.
#pragma once

#include "PlatformTypes.h"

namespace emulated {

struct DoubleByteCodePage {
    UINT codePage;
    BYTE ranges[MAX_LEADBYTES];
};

// Lead-byte ranges as GetCPInfo reports them: pairs, ended by a zero pair.
inline constexpr DoubleByteCodePage doubleByteCodePages[] = {
    {932, {0x81, 0x9F, 0xE0, 0xFC}},
    {936, {0x81, 0xFE}},
    {949, {0x81, 0xFE}},
    {950, {0x81, 0xFE}},
    {1361, {0x84, 0xD3, 0xD8, 0xDE, 0xE0, 0xF9}},
    {20932, {0x8E, 0x8E, 0xA1, 0xFE}},
};

inline constexpr UINT singleByteCodePages[] = {437,  850,  852,  866,  874,  1250, 1251,  1252,
                                               1253, 1254, 1255, 1256, 1257, 1258, 20127, 28591};

// Whether `byte` begins a double-byte character in `codePage`; never in a
// single-byte or unknown code page.
inline bool IsLeadByteIn(UINT codePage, unsigned char byte) {
    for (const DoubleByteCodePage& known : doubleByteCodePages) {
        if (known.codePage != codePage) {
            continue;
        }
        for (int i = 0; i + 1 < MAX_LEADBYTES && known.ranges[i] != 0; i += 2) {
            if (byte >= known.ranges[i] && byte <= known.ranges[i + 1]) {
                return true;
            }
        }
        return false;
    }
    return false;
}

// The ANSI code page GetACP answers, asked without counting as an operation
// (CodePage.cpp).
UINT AnsiCodePage();

} // namespace emulated
