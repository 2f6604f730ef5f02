// The rows about the registry, asked in the sandbox key
// HKCU\Software\Gantrel conformance: made here (but for the one key the
// suite seeds, whose name the code page cannot carry, which no call here can
// make) and removed at the end.
#include "AnswerTable.h"

#include <cstdio>
#include <cstring>

namespace answers {
namespace {

std::string Path(const char* below) {
    return std::string(sandboxPath) + "\\" + below;
}

HKEY Create(const std::string& path, DWORD* disposition = nullptr) {
    HKEY key = nullptr;
    DWORD ignored = 0;
    LONG status = platform::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr,
                                            REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                                            disposition != nullptr ? disposition : &ignored);
    return status == ERROR_SUCCESS ? key : nullptr;
}

LONG OpenStatus(HKEY root, const std::string& path, DWORD options = 0) {
    HKEY key = nullptr;
    LONG status = platform::RegOpenKeyExA(root, path.c_str(), options, KEY_ALL_ACCESS, &key);
    if (status == ERROR_SUCCESS) {
        platform::RegCloseKey(key);
    }
    return status;
}

LONG Set(HKEY key, const char* name, DWORD type, const std::string& bytes) {
    return platform::RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                    static_cast<DWORD>(bytes.size()));
}

std::string HexBytes(const BYTE* bytes, DWORD size) {
    std::string text;
    for (DWORD i = 0; i < size; ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%02X", bytes[i]);
        text += (i == 0 ? "" : " ") + std::string(byte);
    }
    return text;
}

// RegQueryValueExA with a buffer of `room` bytes (none for 0): the status,
// the type and size it left, the bytes when it succeeded, and whether the
// byte after them kept its sentinel.
std::string Query(HKEY key, const char* name, DWORD room) {
    BYTE data[64];
    std::memset(data, 0xBD, sizeof data);
    DWORD type = 0xDEADBEEF;
    DWORD size = room;
    LONG status =
        platform::RegQueryValueExA(key, name, nullptr, &type, room == 0 ? nullptr : data, &size);
    std::string answer = Number(status) + ": type " + Number(static_cast<long>(type)) + ", size " +
                         Number(static_cast<long>(size));
    if (status == ERROR_SUCCESS && room != 0 && size < sizeof data) {
        answer += ", " + HexBytes(data, size) + (data[size] == 0xBD ? ", then 0xBD" : "");
    }
    return answer;
}

// RegEnumKeyExA at index 0 with a buffer of `room` bytes.
std::string EnumAnsi(HKEY key, DWORD room) {
    char name[300];
    std::memset(name, 0xBD, sizeof name);
    DWORD size = room;
    LONG status = platform::RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS) {
        return Number(status);
    }
    return "0: " + Shown(std::string(name)) + ", size " + Number(static_cast<long>(size));
}

std::string EnumWide(HKEY key, DWORD room) {
    WCHAR name[300];
    std::memset(name, 0xBD, sizeof name);
    DWORD size = room;
    LONG status = platform::RegEnumKeyExW(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS) {
        return Number(status);
    }
    return "0: " + Shown(Wide(name)) + ", size " + Number(static_cast<long>(size));
}

// Removes `name` below `parent` and everything under it through the wide
// calls, as the key walk does; a bounded walk, so a key that will not go
// ends it.
LONG DeleteTree(HKEY parent, const Wide& name, int depth = 0) {
    HKEY key = nullptr;
    if (depth > 16 ||
        platform::RegOpenKeyExW(parent, name.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
        return -1;
    }
    for (int tries = 0; tries < 64; ++tries) {
        WCHAR child[256];
        DWORD size = 256;
        if (platform::RegEnumKeyExW(key, 0, child, &size, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS ||
            DeleteTree(key, Wide(child, size), depth + 1) != ERROR_SUCCESS) {
            break;
        }
    }
    platform::RegCloseKey(key);
    return platform::RegDeleteKeyW(parent, name.c_str());
}

HKEY made = nullptr;
HKEY again = nullptr;
HKEY values = nullptr;
HKEY listed = nullptr;
HKEY leaf = nullptr;
HKEY wide = nullptr;

void AddCreationRows(std::vector<Row>& rows) {
    rows.push_back({"RegCreateKeyExA of Made\\With\\Parents, none of them there: status, "
                    "disposition; RegOpenKeyExA of Made\\With",
                    {"0, 1, 0"},
                    [] {
                        DWORD disposition = 0xDEADBEEF;
                        made = Create(Path("Made\\With\\Parents"), &disposition);
                        return std::string(made != nullptr ? "0" : "failed") + ", " +
                               Number(static_cast<long>(disposition)) + ", " +
                               Number(OpenStatus(HKEY_CURRENT_USER, Path("Made\\With")));
                    }});
    rows.push_back({"RegCreateKeyExA of the same path in another case: disposition, a handle of "
                    "its own",
                    {"2, another handle"},
                    [] {
                        DWORD disposition = 0xDEADBEEF;
                        again = Create(Path("MADE\\with\\pArEnTs"), &disposition);
                        return Number(static_cast<long>(disposition)) +
                               (again != nullptr && again != made ? ", another handle"
                                                                  : ", no other handle");
                    }});
    rows.push_back({"RegCloseKey of both", {"0 0"}, [] {
                        return Number(platform::RegCloseKey(made)) + " " +
                               Number(platform::RegCloseKey(again));
                    }});
}

void AddValueRows(std::vector<Row>& rows) {
    rows.push_back({"RegSetValueExA of \"text\" as REG_SZ, 5 bytes; RegQueryValueExA without a "
                    "buffer",
                    {"0, 0: type 1, size 5"},
                    [] {
                        values = Create(Path("Values"));
                        return Join({Number(Set(values, "Text", REG_SZ, std::string("text", 5))),
                                     Query(values, "Text", 0)},
                                    ", ");
                    }});
    // With a buffer too small the buffer's contents are undefined
    // (RegQueryValueExA's documentation): only the status and the size
    // are asked.
    rows.push_back({"RegQueryValueExA by the name in another case, buffers of 2 and of 5 bytes",
                    {"234 size 5, 0: type 1, size 5, 74 65 78 74 00, then 0xBD"},
                    [] {
                        BYTE data[2];
                        DWORD type = 0;
                        DWORD size = sizeof data;
                        LONG status =
                            platform::RegQueryValueExA(values, "TEXT", nullptr, &type, data, &size);
                        return Number(status) + " size " + Number(static_cast<long>(size)) + ", " +
                               Query(values, "tExT", 5);
                    }});
    rows.push_back({"REG_BINARY, REG_DWORD and REG_MULTI_SZ values: type and bytes as written",
                    {"0: type 3, size 4, 00 61 00 FF, then 0xBD | 0: type 4, size 4, 78 56 34 12, "
                     "then 0xBD | 0: type 7, size 5, 61 00 62 00 00, then 0xBD"},
                    [] {
                        Set(values, "Binary", REG_BINARY, std::string("\0a\0\xFF", 4));
                        Set(values, "Number", REG_DWORD, std::string("\x78\x56\x34\x12", 4));
                        Set(values, "Multi", REG_MULTI_SZ, std::string("a\0b\0\0", 5));
                        return Query(values, "Binary", 64) + " | " + Query(values, "Number", 64) +
                               " | " + Query(values, "Multi", 64);
                    }});
    rows.push_back({"RegQueryValueExA of an absent value; of a value, type only (as the link "
                    "check asks); on a null key",
                    {"2, 0 type 1, 6"},
                    [] {
                        DWORD type = 0xDEADBEEF;
                        LONG typeOnly = platform::RegQueryValueExA(values, "Text", nullptr, &type,
                                                                   nullptr, nullptr);
                        DWORD ignored = 0;
                        std::string answer =
                            Number(platform::RegQueryValueExA(values, "Absent", nullptr, &ignored,
                                                              nullptr, nullptr)) +
                            ", ";
                        answer += Number(typeOnly) + " type " + Number(static_cast<long>(type));
                        DWORD size = 0;
                        answer += ", " + Number(platform::RegQueryValueExA(
                                             nullptr, "Text", nullptr, &ignored, nullptr, &size));
                        platform::RegCloseKey(values);
                        return answer;
                    }});
}

void AddEnumerationRows(std::vector<Row>& rows) {
    rows.push_back({"RegEnumKeyExA at index 0 of a key with beta and Alpha: buffers of 50, 6 "
                    "and 5 bytes",
                    {"0: Alpha, size 5 | 0: Alpha, size 5 | 234"},
                    [] {
                        platform::RegCloseKey(Create(Path("Enum\\beta")));
                        platform::RegCloseKey(Create(Path("Enum\\Alpha")));
                        listed = Create(Path("Enum"));
                        return EnumAnsi(listed, 50) + " | " + EnumAnsi(listed, 6) + " | " +
                               EnumAnsi(listed, 5);
                    }});
    rows.push_back({"RegEnumKeyExW at index 0: buffers of 256 and 5 characters",
                    {"0: Alpha, size 5 | 234"},
                    [] { return EnumWide(listed, 256) + " | " + EnumWide(listed, 5); }});
    rows.push_back({"RegDeleteKeyA of ALPHA and BETA, then RegEnumKeyExA and RegEnumKeyExW",
                    {"0 0, 259 259"},
                    [] {
                        std::string answer = Number(platform::RegDeleteKeyA(listed, "ALPHA")) +
                                             " " + Number(platform::RegDeleteKeyA(listed, "BETA"));
                        answer += ", " + EnumAnsi(listed, 50) + " " + EnumWide(listed, 256);
                        platform::RegCloseKey(listed);
                        return answer;
                    }});
}

void AddDeletionRows(std::vector<Row>& rows) {
    rows.push_back(
        {"RegDeleteKeyA of Tree, which holds Leaf; then RegOpenKeyExA of Tree\\Leaf", {"5, 0"}, [] {
             leaf = Create(Path("Tree\\Leaf"));
             return Join({Number(platform::RegDeleteKeyA(HKEY_CURRENT_USER, Path("Tree").c_str())),
                          Number(OpenStatus(HKEY_CURRENT_USER, Path("Tree\\Leaf")))},
                         ", ");
         }});
    rows.push_back({"RegDeleteKeyA of TREE\\leaf, then once more", {"0, 2"}, [] {
                        std::string path = Path("TREE\\leaf");
                        return Join(
                            {Number(platform::RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str())),
                             Number(platform::RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str()))},
                            ", ");
                    }});
    rows.push_back({"a handle on the deleted Leaf: RegSetValueExA, RegQueryValueExA, "
                    "RegEnumKeyExA, RegCloseKey",
                    {"1018 1018 1018 0"},
                    [] {
                        DWORD type = 0;
                        DWORD size = 0;
                        return Join({Number(Set(leaf, "v", REG_SZ, std::string("x", 2))),
                                     Number(platform::RegQueryValueExA(leaf, "v", nullptr, &type,
                                                                       nullptr, &size)),
                                     EnumAnsi(leaf, 50), Number(platform::RegCloseKey(leaf))},
                                    " ");
                    }});
    // The link removal deletes a key through its own handle and an empty
    // name.
    rows.push_back(
        {"RegOpenKeyExA of Tree with REG_OPTION_OPEN_LINK, its SymbolicLinkValue, "
         "RegDeleteKeyA(it, \"\"), then RegOpenKeyExA of Tree",
         {"0, 2, 0, 2"},
         [] {
             HKEY tree = nullptr;
             LONG opened = platform::RegOpenKeyExA(HKEY_CURRENT_USER, Path("Tree").c_str(),
                                                   REG_OPTION_OPEN_LINK, KEY_ALL_ACCESS, &tree);
             if (opened != ERROR_SUCCESS) {
                 return Number(opened);
             }
             DWORD type = 0;
             std::string answer =
                 "0, " + Number(platform::RegQueryValueExA(tree, "SymbolicLinkValue", nullptr,
                                                           &type, nullptr, nullptr));
             answer += ", " + Number(platform::RegDeleteKeyA(tree, ""));
             platform::RegCloseKey(tree);
             return answer + ", " + Number(OpenStatus(HKEY_CURRENT_USER, Path("Tree")));
         }});
}

// Wide\<Japanese>\<Polish>, seeded by the suite.
const char16_t japanese[] = u"\u65e5\u672c\u8a9e";
const char16_t polish[] = u"\u0141\u00f3d\u017a";

void AddWideNameRows(std::vector<Row>& rows) {
    // The ANSI view writes a character the code page cannot carry as '?'
    // or, where the code page has one, as a look-alike (Wine answers
    // "L\xF3dz" for the Polish name): either way the name reaches nothing.
    rows.push_back(
        {"RegEnumKeyExA at index 0 of Wide and of Wide\\<Japanese>, in code page 1252; "
         "RegOpenKeyExA of the second name it gives",
         {"0: ???, size 3 | size 4, opens: 2"},
         [] {
             std::string unfit = NeedsCodePage1252();
             if (!unfit.empty()) {
                 return unfit;
             }
             wide = Create(Path("Wide"));
             HKEY below = nullptr;
             platform::RegOpenKeyExW(wide, W(japanese).c_str(), 0, KEY_ALL_ACCESS, &below);
             char name[50];
             DWORD size = sizeof name;
             LONG status =
                 platform::RegEnumKeyExA(below, 0, name, &size, nullptr, nullptr, nullptr, nullptr);
             std::string answer = EnumAnsi(wide, 50) + " | ";
             if (status != ERROR_SUCCESS) {
                 answer += Number(status);
             } else {
                 HKEY opened = nullptr;
                 answer += "size " + Number(static_cast<long>(size)) + ", opens: " +
                           Number(platform::RegOpenKeyExA(below, name, 0, KEY_ALL_ACCESS, &opened));
                 if (opened != nullptr) {
                     platform::RegCloseKey(opened);
                 }
             }
             platform::RegCloseKey(below);
             return answer;
         }});
    rows.push_back({"RegOpenKeyExA of Wide\\??? (the ANSI view of the name)", {"2"}, [] {
                        return Number(OpenStatus(HKEY_CURRENT_USER, Path("Wide\\???")));
                    }});
    rows.push_back({"RegEnumKeyExW at index 0 of Wide: buffers of 256 and 3 characters",
                    {"0: \\u65e5\\u672c\\u8a9e, size 3 | 234"},
                    [] { return EnumWide(wide, 256) + " | " + EnumWide(wide, 3); }});
    rows.push_back({"RegDeleteKeyW of <Japanese>, of <Japanese>\\<Polish>, of <Japanese> again "
                    "and once more",
                    {"5 0 0 2"},
                    [] {
                        Wide below = W(japanese) + static_cast<WCHAR>('\\') + W(polish);
                        std::string answer =
                            Number(platform::RegDeleteKeyW(wide, W(japanese).c_str()));
                        answer += " " + Number(platform::RegDeleteKeyW(wide, below.c_str()));
                        answer += " " + Number(platform::RegDeleteKeyW(wide, W(japanese).c_str()));
                        answer += " " + Number(platform::RegDeleteKeyW(wide, W(japanese).c_str()));
                        platform::RegCloseKey(wide);
                        return answer;
                    }});
    rows.push_back({"the sandbox removed through RegOpenKeyExW, RegEnumKeyExW and RegDeleteKeyW; "
                    "then RegOpenKeyExA of it",
                    {"0, 2"},
                    [] {
                        return Join({Number(DeleteTree(HKEY_CURRENT_USER, Widened(sandboxPath))),
                                     Number(OpenStatus(HKEY_CURRENT_USER, sandboxPath))},
                                    ", ");
                    }});
}

} // namespace

void AddRegistryRows(std::vector<Row>& rows) {
    AddCreationRows(rows);
    AddValueRows(rows);
    AddEnumerationRows(rows);
    AddDeletionRows(rows);
    AddWideNameRows(rows);
}

} // namespace answers
