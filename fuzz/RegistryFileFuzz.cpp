// The registry-file reader on arbitrary text: whatever it accepts, written
// back out, must read again to the same registry (the same text once more),
// and its every value must survive with its type and bytes.
#include "FuzzInput.h"
#include "Registry.h"

#include <string>

using fuzzing::Check;

namespace {

// Every value below the key, in order, with its full path.
void Collect(const emulated::RegistryKey& key, const std::string& path, std::string& out) {
    out += "[" + path + "]\n";
    for (const auto& entry : key.values) {
        const emulated::RegistryValue& value = entry.second;
        out += value.name + '\0' + std::to_string(value.type) + '\0' + value.bytes + '\n';
    }
    for (const auto& entry : key.keys) {
        Collect(*entry.second, path + "\\" + entry.second->name, out);
    }
}

std::string Contents(const emulated::RegistryRoots& roots) {
    std::string out;
    for (const auto& root : emulated::AllRoots(roots)) {
        Collect(*root, root->name, out);
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    emulated::RegistryRoots first;
    std::string error;
    if (!emulated::ReadRegistryText(text, first, error)) {
        Check(!error.empty());
        return 0;
    }
    std::string written = emulated::WriteRegistryText(first);
    emulated::RegistryRoots second;
    Check(emulated::ReadRegistryText(written, second, error));
    Check(Contents(first) == Contents(second));
    Check(emulated::WriteRegistryText(second) == written);
    return 0;
}
