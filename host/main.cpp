// gantrel-host: plays the host installer for one call of the hook module.
#include "EntryNames.h"
#include "HostOptions.h"
#include "HostPlatform.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const std::size_t folderBufferSize = 1000;

int Fail(int status, const std::string& message) {
    std::fprintf(stderr, "gantrel-host: %s\n", message.c_str());
    return status;
}

bool ParseNumber(const std::string& text, unsigned long& number) {
    char* end = nullptr;
    errno = 0;
    number = std::strtoul(text.c_str(), &end, 0);
    return !text.empty() && end != nullptr && *end == 0 && errno == 0;
}

// Which of the seven names an address belongs to, as the module exports them.
const char* NameOfEntry(void* module, EntryPoint entry) {
    for (const char* name : hookEntryNames) {
        if (FindEntryPoint(module, name, 0) == entry) {
            return name;
        }
    }
    return "(unknown)";
}

} // namespace

int main(int argc, char** argv) {
    HostOptions options;
    std::string error;
    if (!ParseHostOptions(argc, argv, options, error)) {
        return Fail(2, error);
    }
    if (options.help) {
        std::fputs(HostUsage(), stdout);
        return 0;
    }
    if (!ApplyPlatformSettings(options, error)) {
        return Fail(2, error);
    }
    if (options.dump) {
        if (options.dumpKeys.empty()) {
            return DumpRegistry(options, "");
        }
        int status = 0;
        for (const std::string& key : options.dumpKeys) {
            status = std::max(status, DumpRegistry(options, key));
        }
        return status;
    }

    unsigned long window = 0;
    unsigned long value = 0;
    if (!ParseNumber(options.window, window) || !ParseNumber(options.value, value)) {
        return Fail(2, "WINDOW and VALUE must be numbers");
    }
    int ordinal = 0;
    const char* name = options.entry.c_str();
    if (options.entry[0] == '#') {
        unsigned long number = 0;
        if (!ParseNumber(options.entry.substr(1), number) || number < 1 || number > 0xFFFF) {
            return Fail(2, "an ordinal is #1 to #65535, not '" + options.entry + "'");
        }
        ordinal = static_cast<int>(number);
        name = nullptr;
    }

    std::string modulePath = options.modulePath.empty() ? DefaultModulePath() : options.modulePath;
    void* module = LoadHookModule(modulePath, error);
    if (module == nullptr) {
        return Fail(3, "cannot load the module " + modulePath + ": " + error);
    }
    EntryPoint entry = FindEntryPoint(module, name, ordinal);
    if (entry == nullptr) {
        UnloadHookModule(module);
        return Fail(4, "the module " + modulePath + " has no entry point " + options.entry);
    }
    const char* entryName = NameOfEntry(module, entry);

    // The third argument: the host's 1000-byte buffer for GetVKTFolder, a
    // writable copy of TEXT for the others, or null.
    std::vector<char> text;
    bool folderBuffer = std::strcmp(entryName, "GetVKTFolder") == 0 && !options.nullText;
    if (folderBuffer) {
        text.assign(folderBufferSize, static_cast<char>(0xBD));
    } else if (options.textGiven && !options.nullText) {
        text.assign(options.text.begin(), options.text.end());
        text.push_back(0);
    }
    LPSTR textArgument = text.empty() ? nullptr : text.data();

    EntryCall call = CallEntryPoint(entry, reinterpret_cast<HWND>(static_cast<uintptr_t>(window)),
                                    static_cast<LONG>(value), textArgument);
    std::printf("%s = %ld\n", entryName, static_cast<long>(call.result));
    int status = 0;
    if (folderBuffer) {
        const void* end = std::memchr(text.data(), 0, text.size());
        if (end == nullptr) {
            status = Fail(5, "GetVKTFolder left no terminating zero in the 1000-byte buffer");
        } else {
            std::printf("GetVKTFolder buffer: \"%s\"\n", text.data());
        }
    }
    if (call.stackLeft != 0) {
        status = Fail(5, std::string(entryName) + " did not remove its own arguments: " +
                             std::to_string(call.stackLeft) + " bytes left on the stack");
    }
    if (status == 0 && RegistryChangesRefused(module) > 0) {
        status = 6; // the module has said which change and why
    }
    std::fflush(stdout);
    UnloadHookModule(module);
    return status;
}
