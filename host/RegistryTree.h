// A registry key tree as gantrel-host dump prints it: one canonical text form
// on every platform, so that two runs of the same scenario compare byte for
// byte.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

struct DumpValue {
    std::string name;
    unsigned long type = 0;
    std::vector<unsigned char> data;
};

struct DumpKey {
    std::string name;
    std::vector<DumpValue> values;
    std::vector<DumpKey> keys;
};

// The keys the module touches: what `dump` prints when no key is named.
extern const char* const moduleRegistryKeys[];
extern const int moduleRegistryKeyCount;

// Splits "HKEY_CURRENT_USER\path" into the root's name and the path; false
// for an unknown root. Short forms (HKCU, HKLM, HKCR) are accepted.
bool SplitRegistryKey(const std::string& key, std::string& root, std::string& path);

// Prints the key (named by its full path) and everything below it: keys and
// values sorted without regard to ASCII case, each value as
//   "name" TYPE hex bytes ; "text" (for the text types)
void PrintRegistryTree(const std::string& fullPath, DumpKey& key, std::FILE* out);
// What is printed for a key that does not exist.
void PrintMissingKey(const std::string& fullPath, std::FILE* out);
