// gantrel-host dump on Linux: reads the emulated registry's file (the one
// GANTREL_REGISTRY names) without changing it, and prints it in the same
// canonical form as the Windows host prints the real registry.
#include "HostPlatform.h"
#include "Registry.h"
#include "RegistryTree.h"

#include <cstdio>
#include <cstdlib>

namespace {

// Names as the module's ANSI calls see them.
void CopyKey(const emulated::RegistryKey& from, UINT codePage, DumpKey& into) {
    for (const auto& value : from.values) {
        DumpValue copy;
        copy.name = emulated::NameToAnsi(value.second.name, codePage);
        copy.type = value.second.type;
        copy.data.assign(value.second.bytes.begin(), value.second.bytes.end());
        into.values.push_back(copy);
    }
    for (const auto& child : from.keys) {
        DumpKey copy;
        copy.name = emulated::NameToAnsi(child.second->name, codePage);
        CopyKey(*child.second, codePage, copy);
        into.keys.push_back(copy);
    }
}

// The ANSI code page the module runs with, which its key names are text in.
UINT CodePage() {
    const char* setting = std::getenv("GANTREL_CODEPAGE");
    long parsed = setting != nullptr ? std::strtol(setting, nullptr, 10) : 0;
    return parsed > 0 ? static_cast<UINT>(parsed) : 1252;
}

} // namespace

int DumpRegistry(const HostOptions&, const std::string& key) {
    // ApplyPlatformSettings has put the chosen file into the environment.
    const char* file = std::getenv("GANTREL_REGISTRY");
    UINT codePage = CodePage();
    emulated::RegistryRoots roots;
    std::string error;
    if (file != nullptr && file[0] != 0 &&
        !emulated::LoadRegistryFile(file, codePage, roots, error)) {
        std::fprintf(stderr, "gantrel-host: %s\n", error.c_str());
        return 1;
    }
    return PrintRegistryKeys(
        key,
        [&](const std::string& root, const std::string& path, DumpKey& tree, bool& found) {
            std::vector<std::string> components;
            std::shared_ptr<emulated::RegistryKey> named;
            if (emulated::SplitRegistryPath(path, codePage, components)) {
                named = emulated::FindRegistryKey(emulated::RootNamed(roots, root), components);
            }
            found = named != nullptr;
            if (found) {
                CopyKey(*named, codePage, tree);
            }
            return 0;
        },
        stdout);
}
