// SetUninstallInfo and GetVKTFolder on arbitrary stored commands, under code
// pages 1252 and 932, against the same cuts made with the reference model.
#include "Control.h"
#include "FuzzInput.h"
#include "Hooks.h"
#include "LeadBytes.h"
#include "TextModel.h"

#include <cstring>
#include <string>
#include <vector>

using fuzzing::Check;

namespace {

const char uninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Corvanet VKT";
const std::size_t bufferSize = 1000;

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

struct Option {
    char letter;
    std::string path;
};

// The options read off the command's characters: a hyphen that opens a word,
// a letter and a double quote, up to the next double quote or the end; other
// quoted text is passed over whole. A double-byte character reads as 0 and so
// never passes for a hyphen, a space or a quote.
struct Reading {
    std::vector<Option> options;
    bool open = false; // a quote left open at the end
};

Reading Read(const std::string& s) {
    std::vector<int32_t> starts = model::Starts(s);
    auto at = [&](std::size_t k) {
        std::size_t i = static_cast<std::size_t>(starts[k]);
        return model::IsDouble(s, i) || model::IsIncomplete(s, i) ? '\0' : s[i];
    };
    std::vector<Option> options;
    bool quoted = false;
    Option* open = nullptr;
    std::size_t from = 0;
    for (std::size_t k = 0; k < starts.size(); ++k) {
        char c = at(k);
        if (quoted) {
            if (c == '"') {
                if (open != nullptr) {
                    open->path = s.substr(from, static_cast<std::size_t>(starts[k]) - from);
                }
                quoted = false;
                open = nullptr;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == '-' && (k == 0 || at(k - 1) == ' ') && k + 2 < starts.size() &&
                   IsLetter(at(k + 1)) && at(k + 2) == '"') {
            options.push_back({at(k + 1), std::string()});
            open = &options.back();
            quoted = true;
            k += 2;
            from = static_cast<std::size_t>(starts[k]) + 1;
        }
    }
    if (open != nullptr) {
        open->path = s.substr(from);
    }
    return {options, quoted};
}

std::string ExpectedCommand(const std::string& s) {
    Reading reading = Read(s);
    const std::vector<Option>& options = reading.options;
    if (options.empty() ||
        (!s.empty() && model::IsIncomplete(s, static_cast<std::size_t>(model::Starts(s).back())))) {
        return s;
    }
    const std::string& host = options.front().path;
    std::string module = model::Left(host, model::ReverseFind(host, '\\') + 1) + "Gantrel.dll";
    for (const Option& option : options) {
        if (option.letter == 'c' && model::Compare(option.path, module) == 0) {
            return s;
        }
    }
    return s + (reading.open ? "\"" : "") + " -c\"" + module + "\"";
}

std::string ExpectedFolder(const std::string& s) {
    std::vector<Option> options = Read(s).options;
    if (options.empty()) {
        return std::string();
    }
    const std::string& path = options.back().path;
    std::string folder = model::Left(path, model::ReverseFind(path, '\\'));
    return model::Left(path, model::ReverseFind(folder, '\\'));
}

void Store(const std::string& command) {
    emulated::SeedRegistryValue(HKEY_LOCAL_MACHINE, uninstallKey, "UninstallString", REG_SZ,
                                command + '\0');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    emulated::ResetPlatform();
    LoadLeadByteTableFor(data[0] & 1 ? 932 : 1252);
    std::string command;
    for (std::size_t i = 1; i < size && command.size() < 1100; ++i) {
        if (data[i] != 0) {
            command += static_cast<char>(data[i]);
        }
    }
    // What the hooks read: the command, or nothing when it does not fit.
    std::string read = command.size() + 1 <= bufferSize ? command : std::string();

    Store(command);
    char buffer[bufferSize];
    std::memset(buffer, 0xBD, sizeof buffer);
    Check(GetVKTFolder(nullptr, 0, buffer) == 1);
    const void* end = std::memchr(buffer, 0, sizeof buffer);
    Check(end != nullptr);
    Check(std::string(buffer) == ExpectedFolder(read));

    Check(SetUninstallInfo(nullptr, 0, nullptr) == 1);
    DWORD type = 0;
    std::string stored;
    Check(emulated::ReadRegistryValue(HKEY_LOCAL_MACHINE, uninstallKey, "UninstallString", type,
                                      stored));
    Check(type == REG_SZ);
    // A command too long to read stays as it was; any other gains the option
    // once, when it has one of its own.
    std::string expected = command.size() + 1 <= bufferSize ? ExpectedCommand(read) : command;
    Check(stored == expected + '\0');
    Check(SetUninstallInfo(nullptr, 0, nullptr) == 1);
    Check(emulated::ReadRegistryValue(HKEY_LOCAL_MACHINE, uninstallKey, "UninstallString", type,
                                      stored));
    Check(stored == expected + '\0');
    Check(emulated::OpenRegistryKeyCount() == 0);
    return 0;
}
