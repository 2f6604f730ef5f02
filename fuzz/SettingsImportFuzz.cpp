// SetupServer on arbitrary file contents: every value stored under the
// application key must be what an independent reading of the file gives,
// and nothing else may be there.
#include "Control.h"
#include "FuzzInput.h"
#include "Hooks.h"
#include "LeadBytes.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <utility>

using fuzzing::Check;

namespace {

const char applicationKey[] = "Software\\Corvanet\\Lumeno";

struct Stored {
    DWORD type;
    std::string bytes;
};

std::string Upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

// atol in the classic locale, wrapping in 32 bits.
std::string NumberBytes(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= 9 && text[i] <= 13))) {
        ++i;
    }
    bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        ++i;
    }
    uint32_t total = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        total = total * 10 + static_cast<uint32_t>(text[i] - '0');
    }
    if (negative) {
        total = ~total + 1;
    }
    std::string bytes;
    for (int shift = 0; shift < 32; shift += 8) {
        bytes += static_cast<char>((total >> shift) & 0xFF);
    }
    return bytes;
}

// The file read as the import must read it, under a one-byte code page.
std::map<std::string, std::pair<std::string, Stored>> ExpectedValues(const std::string& file) {
    std::string text = file.substr(0, file.find('\x1A'));
    std::string translated;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue; // the LF that follows stands for both
        }
        translated += text[i];
    }
    std::map<std::string, std::pair<std::string, Stored>> values;
    std::size_t start = 0;
    while (start < translated.size()) {
        std::size_t end = translated.find('\n', start);
        std::string line =
            translated.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? translated.size() : end + 1;
        line = line.substr(0, line.find('\0'));
        if (line.empty()) {
            continue;
        }
        std::size_t equals = line.find('=');
        std::string name = equals == std::string::npos ? "" : line.substr(0, equals);
        std::string value = equals == std::string::npos ? line : line.substr(equals + 1);
        Stored stored;
        if (value.find('"') != std::string::npos) {
            std::string unquoted;
            for (char c : value) {
                if (c != '"') {
                    unquoted += c;
                }
            }
            stored = {REG_SZ, unquoted + '\0'};
        } else {
            stored = {REG_DWORD, NumberBytes(value)};
        }
        auto found = values.find(Upper(name));
        // A later line replaces the value; the name keeps its first spelling.
        std::string spelling = found != values.end() ? found->second.first : name;
        values[Upper(name)] = {spelling, stored};
    }
    return values;
}

// A drive folder of the fuzzer's own, removed when the fuzzer exits.
char scratch[] = "/tmp/gantrel-fuzz-XXXXXX";

void RemoveScratch() {
    std::filesystem::remove_all(scratch);
}

std::string ScratchFolder() {
    static bool made = [] {
        Check(::mkdtemp(scratch) != nullptr);
        Check(::mkdir((std::string(scratch) + "/c").c_str(), 0700) == 0);
        std::atexit(RemoveScratch);
        return true;
    }();
    Check(made);
    return scratch;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    emulated::ResetPlatform();
    LoadLeadByteTableFor(1252);
    emulated::SetDriveFolder(ScratchFolder());
    std::string file(reinterpret_cast<const char*>(data), size);
    std::FILE* out = std::fopen((ScratchFolder() + "/c/settings.ini").c_str(), "wb");
    Check(out != nullptr);
    Check(std::fwrite(file.data(), 1, file.size(), out) == file.size());
    std::fclose(out);

    char path[] = "C:\\settings.ini";
    Check(SetupServer(nullptr, 0, path) == 0);

    auto expected = ExpectedValues(file);
    std::vector<std::string> names =
        emulated::RegistryValueNames(HKEY_CURRENT_USER, applicationKey);
    Check(names.size() == expected.size());
    for (const std::string& name : names) {
        auto found = expected.find(Upper(name));
        Check(found != expected.end());
        Check(found->second.first == name);
        DWORD type = 0;
        std::string bytes;
        Check(emulated::ReadRegistryValue(HKEY_CURRENT_USER, applicationKey, name, type, bytes));
        Check(type == found->second.second.type);
        Check(bytes == found->second.second.bytes);
    }
    Check(emulated::OpenRegistryKeyCount() == 0);
    return 0;
}
