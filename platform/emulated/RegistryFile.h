// The emulated registry as a REGEDIT4 file: text a person can read, edit and
// diff, and that the platform's own registry editor imports.
//
// Every value survives a save and a load with its type and exact bytes: a
// REG_SZ made of printable ASCII and ending in exactly one zero is written
// "as text", a 4-byte REG_DWORD as dword:, and everything else in the hex
// forms (hex: for REG_BINARY, hex(N): for any other type N).
#pragma once

#include "RegistryKeys.h"

#include <string>

namespace emulated {

// The first line of a registry file that holds its names in UTF-8.
const char utf8FileHeader[] = "\xEF\xBB\xBFREGEDIT4\n";

// The whole registry as REGEDIT4 text: every key, each after its parent,
// sub-keys and values in registry order. Names are in the ANSI code page,
// or in UTF-8 (with utf8FileHeader) when asked or when the code page cannot
// carry one of them.
std::string WriteRegistryText(const RegistryRoots& roots, bool inUtf8 = false);

// Adds the keys and values of REGEDIT4 text to `roots` ([-KEY] and
// "name"=- remove, as the registry editor does). A key deeper than
// maxRegistryKeyDepth is malformed. Key paths are read as text
// in the ANSI code page `codePage`, as the registry editor reads the file.
// False for malformed text, with `error` naming the line and what is wrong
// with it; `roots` may then hold part of the text. `records`: the text
// follows the beginning of a file, and no REGEDIT4 line is expected.
bool ReadRegistryText(const std::string& text, RegistryRoots& roots, std::string& error,
                      UINT codePage = 1252, bool records = false);

// One change as the records a registry file appends for it, each line
// whole: the key made (with its missing parents), the key removed with
// everything below it, the value set. `path` is the key's full path. Names
// are as kept (UTF-8); they are put into the file's code page as the record
// is appended.
std::string KeyRecord(const std::string& path);
std::string RemovedKeyRecord(const std::string& path);
std::string ValueRecord(const std::string& path, const RegistryValue& value);

} // namespace emulated
