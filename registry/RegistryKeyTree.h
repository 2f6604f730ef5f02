// Removing a registry key together with every key below it.
#pragma once

#include "PlatformTypes.h"

// Removes the key at subKey under root and everything below it, depth first,
// each key after all of its sub-keys. Answers 0 when the walk ran to its end
// (the final delete's own failure is not reported, and a path that did not
// exist counts as removed), -1 when the key could not be opened or a level
// could not enumerate or remove a sub-key. Like every path operation here it
// opens keys through OpenRegKey, so missing parents of the path are created
// and left behind as empty keys. A sub-key whose name the ANSI code page
// cannot carry, which its ANSI name therefore does not reach, is removed
// through its wide name instead, with everything below it.
LONG DeleteRegKeyTree(const char* subKey, HKEY root);
