#include "RegistryTree.h"

#include <algorithm>
#include <cctype>

namespace {

// The keys the module touches: what `dump` prints when no key is named.
const char* const moduleRegistryKeys[] = {
    "HKEY_CURRENT_USER\\Software\\Corvanet",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvanet",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Corvanet VKT",
    "HKEY_CLASSES_ROOT\\CLSID\\{5c3e9d21-7a40-4b6e-a9d2-13f0c8e47b65}",
    "HKEY_CLASSES_ROOT\\VKTFile",
    "HKEY_CLASSES_ROOT\\*\\shellex\\ContextMenuHandlers\\VKTMenu",
    ("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions"
     "\\Approved\\{5c3e9d21-7a40-4b6e-a9d2-13f0c8e47b65}"),
};
const int moduleRegistryKeyCount =
    static_cast<int>(sizeof moduleRegistryKeys / sizeof moduleRegistryKeys[0]);

std::string Upper(const std::string& text) {
    std::string upper = text;
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return upper;
}

// Registry order: without regard to ASCII case, then by bytes for names that
// differ only in case (which one registry cannot hold twice anyway).
bool NameBefore(const std::string& a, const std::string& b) {
    std::string ua = Upper(a);
    std::string ub = Upper(b);
    return ua != ub ? ua < ub : a < b;
}

const char* TypeName(unsigned long type) {
    switch (type) {
    case 0:
        return "REG_NONE";
    case 1:
        return "REG_SZ";
    case 2:
        return "REG_EXPAND_SZ";
    case 3:
        return "REG_BINARY";
    case 4:
        return "REG_DWORD";
    case 7:
        return "REG_MULTI_SZ";
    case 11:
        return "REG_QWORD";
    default:
        return nullptr;
    }
}

std::string Escaped(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

void PrintValue(const DumpValue& value, std::FILE* out) {
    const char* typeName = TypeName(value.type);
    if (typeName != nullptr) {
        std::fprintf(out, "\"%s\" %s", Escaped(value.name).c_str(), typeName);
    } else {
        std::fprintf(out, "\"%s\" TYPE(%lu)", Escaped(value.name).c_str(), value.type);
    }
    for (unsigned char byte : value.data) {
        std::fprintf(out, " %02X", byte);
    }
    if (value.type == 1 || value.type == 2) {
        std::string text(value.data.begin(), value.data.end());
        std::fprintf(out, " ; \"%s\"", Escaped(text.substr(0, text.find('\0'))).c_str());
    }
    std::fputc('\n', out);
}

bool SplitRegistryKey(const std::string& key, std::string& root, std::string& path) {
    std::size_t slash = key.find('\\');
    std::string first = Upper(key.substr(0, slash));
    path = slash == std::string::npos ? "" : key.substr(slash + 1);
    if (first == "HKEY_CLASSES_ROOT" || first == "HKCR") {
        root = "HKEY_CLASSES_ROOT";
    } else if (first == "HKEY_CURRENT_USER" || first == "HKCU") {
        root = "HKEY_CURRENT_USER";
    } else if (first == "HKEY_LOCAL_MACHINE" || first == "HKLM") {
        root = "HKEY_LOCAL_MACHINE";
    } else {
        return false;
    }
    return true;
}

void PrintRegistryTree(const std::string& fullPath, DumpKey& key, std::FILE* out) {
    std::sort(key.values.begin(), key.values.end(),
              [](const DumpValue& a, const DumpValue& b) { return NameBefore(a.name, b.name); });
    std::sort(key.keys.begin(), key.keys.end(),
              [](const DumpKey& a, const DumpKey& b) { return NameBefore(a.name, b.name); });
    std::fprintf(out, "[%s]\n", fullPath.c_str());
    for (const DumpValue& value : key.values) {
        PrintValue(value, out);
    }
    for (DumpKey& child : key.keys) {
        PrintRegistryTree(fullPath + "\\" + child.name, child, out);
    }
}

void PrintMissingKey(const std::string& fullPath, std::FILE* out) {
    std::fprintf(out, "[%s] (absent)\n", fullPath.c_str());
}

int DumpOne(const std::string& fullKey, const KeyTreeReader& read, std::FILE* out) {
    std::string root;
    std::string path;
    if (!SplitRegistryKey(fullKey, root, path)) {
        std::fprintf(stderr, "gantrel-host: unknown registry root in '%s'\n", fullKey.c_str());
        return 2;
    }
    std::string fullPath = path.empty() ? root : root + "\\" + path;
    DumpKey tree;
    bool found = false;
    int status = read(root, path, tree, found);
    if (status != 0) {
        return status;
    }
    if (found) {
        PrintRegistryTree(fullPath, tree, out);
    } else {
        PrintMissingKey(fullPath, out);
    }
    return 0;
}

} // namespace

int PrintRegistryKeys(const std::string& key, const KeyTreeReader& read, std::FILE* out) {
    if (!key.empty()) {
        return DumpOne(key, read, out);
    }
    for (int i = 0; i < moduleRegistryKeyCount; ++i) {
        int status = DumpOne(moduleRegistryKeys[i], read, out);
        if (status != 0) {
            return status;
        }
    }
    return 0;
}
