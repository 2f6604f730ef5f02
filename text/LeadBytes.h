// Which bytes of the ANSI code page begin a double-byte character.
//
// The table is filled once, while the module loads, and only read afterwards.
#pragma once

#include "PlatformTypes.h"

// Fills the table for the platform's ANSI code page (GetACP).
void LoadLeadByteTable();

// Fills the table for a given code page: the fixed ranges of the East Asian
// code pages, otherwise what GetCPInfo reports, otherwise none. Tests use it
// to switch code pages; the module calls it only through LoadLeadByteTable.
void LoadLeadByteTableFor(UINT codePage);

// The code page the table was last filled for.
UINT LeadByteCodePage();

bool IsLeadByte(unsigned char byte);
