// Writing the registry, or one change to it, as REGEDIT4 text.
#include "Registry.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

namespace emulated {
namespace {

// Where the registry editor wraps hex data, ending the line in a backslash.
const std::size_t hexWrapColumn = 76;

// A name or a text between double quotes. The registry editor knows only the
// escapes \\ and \" (and reads \r and \n too); every other byte stays as it is.
void AppendQuoted(std::string& out, const std::string& text) {
    static const char escaped[] = "\\\"\r\n";
    out += '"';
    for (char c : text) {
        const char* escape = c != 0 ? std::strchr(escaped, c) : nullptr;
        if (escape != nullptr) {
            out += '\\';
            c = "\\\"rn"[escape - escaped];
        }
        out += c;
    }
    out += '"';
}

// Printable ASCII ending in exactly one zero: the only bytes the quoted form
// carries back unchanged.
bool IsPlainText(const RegistryValue& value) {
    const std::string& bytes = value.bytes;
    return value.type == REG_SZ && !bytes.empty() && bytes.back() == 0 &&
           std::all_of(bytes.begin(), bytes.end() - 1,
                       [](char c) { return c >= 0x20 && c <= 0x7E; });
}

// A change appended to a file keeps each value on one line (no `wrap`), so
// that a line cut short by a process that died is all it can lose.
void AppendValue(std::string& out, const RegistryValue& value, UINT codePage, bool wrap = true) {
    std::size_t lineStart = out.size();
    if (value.name.empty()) {
        out += '@';
    } else {
        AppendQuoted(out, NameToAnsi(value.name, codePage));
    }
    out += '=';
    char piece[32];
    if (IsPlainText(value)) {
        AppendQuoted(out, value.bytes.substr(0, value.bytes.size() - 1));
    } else if (value.type == REG_DWORD && value.bytes.size() == 4) {
        unsigned long number = 0;
        for (int i = 3; i >= 0; --i) {
            number = number << 8 | static_cast<unsigned char>(value.bytes[i]);
        }
        std::snprintf(piece, sizeof piece, "dword:%08lx", number);
        out += piece;
    } else {
        std::snprintf(piece, sizeof piece, "hex(%lx):", static_cast<unsigned long>(value.type));
        out += value.type == REG_BINARY ? "hex:" : piece;
        static const char digits[] = "0123456789abcdef";
        for (std::size_t i = 0; i < value.bytes.size(); ++i) {
            unsigned char byte = static_cast<unsigned char>(value.bytes[i]);
            out += digits[byte >> 4];
            out += digits[byte & 15];
            if (i + 1 < value.bytes.size()) {
                out += ',';
                if (wrap && out.size() - lineStart >= hexWrapColumn) {
                    out += "\\\n  ";
                    lineStart = out.size() - 2;
                }
            }
        }
    }
    out += '\n';
}

// Without recursion: a tree may be deeper than the stack. False for a name
// the code page cannot carry.
bool AppendTree(std::string& out, const RegistryKey& root, UINT codePage) {
    std::vector<std::pair<const RegistryKey*, std::string>> pending{{&root, root.name}};
    while (!pending.empty()) {
        const RegistryKey* key = pending.back().first;
        std::string path = std::move(pending.back().second);
        pending.pop_back();
        // A root holds no values of its own here, so only its sub-keys are
        // written; every other key is, even when empty, so that it comes back.
        if (key->parent != nullptr || !key->values.empty()) {
            out += "\n[" + path + "]\n";
        }
        for (const auto& value : key->values) {
            if (!CodePageCarries(value.second.name, codePage)) {
                return false;
            }
            AppendValue(out, value.second, codePage);
        }
        for (auto child = key->keys.rbegin(); child != key->keys.rend(); ++child) {
            if (!CodePageCarries(child->second->name, codePage)) {
                return false;
            }
            pending.emplace_back(child->second.get(),
                                 path + "\\" + NameToAnsi(child->second->name, codePage));
        }
    }
    return true;
}

} // namespace

std::string WriteRegistryText(const RegistryRoots& roots, bool inUtf8) {
    // UTF-8, marked by its byte order mark, loses no name to a '?'.
    std::string out;
    for (UINT codePage : {inUtf8 ? utf8CodePage : AnsiCodePage(), utf8CodePage}) {
        out = codePage == utf8CodePage ? utf8FileHeader : "REGEDIT4\n";
        bool carried = true;
        for (const auto& root : AllRoots(roots)) {
            carried = carried && AppendTree(out, *root, codePage);
        }
        if (carried) {
            break;
        }
    }
    return out;
}

std::string KeyRecord(const std::string& path) {
    return "[" + path + "]\n";
}

std::string RemovedKeyRecord(const std::string& path) {
    return "[-" + path + "]\n";
}

std::string ValueRecord(const std::string& path, const RegistryValue& value) {
    std::string out = KeyRecord(path);
    AppendValue(out, value, utf8CodePage, false);
    return out;
}

} // namespace emulated
