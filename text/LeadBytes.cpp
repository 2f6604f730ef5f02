#include "LeadBytes.h"

#include "Platform.h"

#include <cstring>

namespace {

bool leadBytes[256];
UINT tableCodePage = 0;

void MarkRange(unsigned first, unsigned last) {
    for (unsigned byte = first; byte <= last && byte < 256; ++byte) {
        leadBytes[byte] = true;
    }
}

} // namespace

void LoadLeadByteTableFor(UINT codePage) {
    std::memset(leadBytes, 0, sizeof leadBytes);
    tableCodePage = codePage;
    switch (codePage) {
    case 932:
        MarkRange(0x81, 0x9F);
        MarkRange(0xE0, 0xFC);
        return;
    case 936:
    case 949:
    case 950:
        MarkRange(0x81, 0xFE);
        return;
    case 1361:
        MarkRange(0x81, 0xD3);
        MarkRange(0xD8, 0xDE);
        MarkRange(0xE0, 0xF9);
        return;
    default:
        break;
    }
    // Any other code page: trust the ranges the platform reports, if it
    // reports any. The list ends with a pair of zeros.
    CPINFO info{};
    if (!platform::GetCPInfo(codePage, &info) || info.MaxCharSize < 2) {
        return;
    }
    for (int i = 0; i + 1 < MAX_LEADBYTES; i += 2) {
        if (info.LeadByte[i] == 0 && info.LeadByte[i + 1] == 0) {
            break;
        }
        MarkRange(info.LeadByte[i], info.LeadByte[i + 1]);
    }
}

void LoadLeadByteTable() {
    LoadLeadByteTableFor(platform::GetACP());
}

UINT LeadByteCodePage() {
    return tableCodePage;
}

bool IsLeadByte(unsigned char byte) {
    return leadBytes[byte];
}
