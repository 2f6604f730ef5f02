// Registry links: keys made with REG_OPTION_CREATE_LINK, whose
// "SymbolicLinkValue" (REG_LINK) names another key, anywhere in the
// registry, that every open without REG_OPTION_OPEN_LINK reaches instead.
#pragma once

#include "PlatformTypes.h"

// Whether `key`, opened with REG_OPTION_OPEN_LINK, is a link.
bool IsRegLink(HKEY key);

// Removes the link `link` (opened with REG_OPTION_OPEN_LINK and full
// access) as the link, never the key it leads to. 0 when it is gone, -1
// when it stays; it then leads nowhere.
LONG DeleteRegLink(HKEY link);
