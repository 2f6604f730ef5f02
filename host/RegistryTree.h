// A registry key tree as gantrel-host dump prints it: one canonical text form
// on every platform, so that two runs of the same scenario compare byte for
// byte.
#pragma once

#include <cstdio>
#include <functional>
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

// How a platform reads one key tree (a root's name and a path) for the dump:
// 0 with `found` false for a key that does not exist, 0 with the tree read,
// or, with a message on standard error, an exit status for one that cannot
// be read.
typedef std::function<int(const std::string& root, const std::string& path, DumpKey& tree,
                          bool& found)>
    KeyTreeReader;

// Prints the tree under `key` ("HKEY_CURRENT_USER\path"; HKCU, HKLM and HKCR
// are accepted too), or with no key every key the module touches, in the
// canonical form: keys and values sorted without regard to ASCII case, each
// value as
//   "name" TYPE hex bytes ; "text" (for the text types)
// and "[path] (absent)" for a key that does not exist. Answers the exit
// status.
int PrintRegistryKeys(const std::string& key, const KeyTreeReader& read, std::FILE* out);
