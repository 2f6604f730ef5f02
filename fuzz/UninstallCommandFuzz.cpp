// SetUninstallInfo and GetVKTFolder on arbitrary stored commands, under code
// pages 1252 and 932, against the same cuts made with the reference model.
#include "EmulatedControl.h"
#include "FuzzInput.h"
#include "Hooks.h"
#include "LeadBytes.h"
#include "TextModel.h"

#include <cstring>
#include <string>

using fuzzing::Check;

namespace {

const char uninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Corvanet VKT";
const std::size_t bufferSize = 1000;

int32_t Length(const std::string& s) {
    return static_cast<int32_t>(s.size());
}

std::string ExpectedCommand(const std::string& s) {
    int32_t hyphen = model::FindText(s, "-");
    std::string path = model::Right(s, Length(s) - (hyphen + 2));
    int32_t backslash = model::ReverseFind(path, '\\');
    return s + " -c" + model::Left(path, backslash + 1) + "Gantrel.dll\"";
}

std::string ExpectedFolder(const std::string& s) {
    int32_t hyphen = model::ReverseFind(s, '-');
    std::string path = model::Right(s, Length(s) - (hyphen + 3));
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
    // A command too long to read stays as it was; any other gains the option.
    Check(stored == (command.size() + 1 <= bufferSize ? ExpectedCommand(read) : command) + '\0');
    Check(emulated::OpenRegistryKeyCount() == 0);
    return 0;
}
