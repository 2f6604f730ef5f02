// How the emulated registry keeps names: as UTF-8, which holds every
// character, as the platform's registry keeps them in Unicode. The ANSI calls
// see them through the ANSI code page, with '?' for each character the code
// page cannot carry, as Windows reports them; the wide calls see them as they
// are. Internal to the backend and the host's dump.
#pragma once

#include "CodePages.h"

#include <string>

namespace emulated {

// A name given in `codePage` (or in UTF-8 for utf8CodePage), as kept. A byte
// the code page does not define is kept as it is, so that every text comes
// back byte for byte through NameToAnsi.
std::string NameFromAnsi(const std::string& text, UINT codePage);
// A kept name as text in `codePage`: '?' for each character it cannot carry.
std::string NameToAnsi(const std::string& name, UINT codePage);
// Whether the name, as text in `codePage`, comes back as it is.
bool CodePageCarries(const std::string& name, UINT codePage);

// A kept name in UTF-16, and back; a lone surrogate is kept as it is.
std::u16string NameToUtf16(const std::string& name);
std::string NameFromUtf16(const char16_t* text, std::size_t length);

} // namespace emulated
