// The rows about code pages, the system's folders and environment, the
// sockets library and the user interface, asked as the module asks them.
#include "AnswerTable.h"

#include <algorithm>
#include <cstring>

namespace answers {
namespace {

std::string CodePage(UINT codePage) {
    CPINFO info;
    std::memset(&info, 0xBD, sizeof info);
    if (!platform::GetCPInfo(codePage, &info)) {
        return "FALSE";
    }
    std::string answer =
        "TRUE, MaxCharSize " + Number(static_cast<long>(info.MaxCharSize)) + ", lead bytes";
    for (int i = 0; i + 1 < MAX_LEADBYTES && (info.LeadByte[i] != 0 || info.LeadByte[i + 1] != 0);
         i += 2) {
        answer += " " + Hex(info.LeadByte[i]) + "-" + Hex(info.LeadByte[i + 1]);
    }
    return answer;
}

// Paths that are the same to Windows, ASCII letters compared without
// regard to case.
bool SameIgnoringCase(const Wide& a, const Wide& b) {
    auto lower = [](WCHAR unit) {
        return unit >= 'A' && unit <= 'Z' ? static_cast<WCHAR>(unit | 0x20) : unit;
    };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](WCHAR x, WCHAR y) {
               return lower(x) == lower(y);
           });
}

bool IsDrivePath(const Wide& path) {
    return path.size() > 3 && ((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z') &&
           path[1] == ':' && path[2] == '\\' && path.back() != '\\';
}

// A folder call asked with MAX_PATH units: what the module's rules see of
// the answer (its length matches the text, it is a full path on a drive),
// then asked with 3 units: it answers the room it needs, zero included.
template <typename Ask> std::string FolderAnswer(Ask ask, Wide& folder) {
    WCHAR buffer[MAX_PATH + 1];
    std::memset(buffer, 0xBD, sizeof buffer);
    UINT length = ask(buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || buffer[length] != 0) {
        return "answered " + Number(static_cast<long>(length));
    }
    folder.assign(buffer, length);
    WCHAR small[3];
    UINT needed = ask(small, 3);
    return std::string(Wide(buffer).size() == length ? "length of the text" : "another length") +
           (IsDrivePath(folder) ? ", a drive path" : ", not a drive path") +
           (needed == length + 1 ? ", needs length + 1" : ", needs " + Number(needed));
}

Wide windowsFolder;
Wide systemWindowsFolder;
Wide systemFolder;

void AddCodePageRows(std::vector<Row>& rows) {
    rows.push_back({"GetACP, and GetCPInfo of what it answers", {"nonzero, known"}, [] {
                        UINT codePage = platform::GetACP();
                        CPINFO info;
                        return std::string(codePage != 0 ? "nonzero" : "0") +
                               (platform::GetCPInfo(codePage, &info) ? ", known" : ", unknown");
                    }});
    rows.push_back({"GetCPInfo of 1252 and of 932",
                    {"TRUE, MaxCharSize 1, lead bytes | TRUE, MaxCharSize 2, lead bytes 0x81-0x9F "
                     "0xE0-0xFC"},
                    [] { return CodePage(1252) + " | " + CodePage(932); }});
    rows.push_back(
        {"MultiByteToWideChar(CP_ACP) of \"D:\\Caf\\xE9\\x80\" as a path is converted, "
         "in code page 1252: the count, then the text",
         {"8, 8: D:\\Caf\\u00e9\\u20ac, then 0xBDBD"},
         [] {
             std::string unfit = NeedsCodePage1252();
             if (!unfit.empty()) {
                 return unfit;
             }
             const char text[] = "D:\\Caf\xE9\x80";
             int length = static_cast<int>(std::strlen(text));
             int units = platform::MultiByteToWideChar(CP_ACP, 0, text, length, nullptr, 0);
             WCHAR wide[16];
             std::memset(wide, 0xBD, sizeof wide);
             int written = units > 0 && units < 16
                               ? platform::MultiByteToWideChar(CP_ACP, 0, text, length, wide, units)
                               : 0;
             return Number(units) + ", " + Number(written) + ": " +
                    Shown(Wide(wide, written > 0 ? written : 0)) + ", then " +
                    Hex(static_cast<unsigned>(wide[written > 0 ? written : 0]));
         }});
}

void AddFolderRows(std::vector<Row>& rows) {
    const char* rule = "length of the text, a drive path, needs length + 1";
    rows.push_back({"GetWindowsDirectoryW", {rule}, [] {
                        return FolderAnswer(platform::GetWindowsDirectoryW, windowsFolder);
                    }});
    rows.push_back({"GetSystemWindowsDirectoryW", {rule}, [] {
                        return FolderAnswer(platform::GetSystemWindowsDirectoryW,
                                            systemWindowsFolder);
                    }});
    rows.push_back({"GetSystemDirectoryW; and whether it is <Windows folder>\\system32",
                    {"length of the text, a drive path, needs length + 1; yes"},
                    [] {
                        std::string answer =
                            FolderAnswer(platform::GetSystemDirectoryW, systemFolder);
                        bool below =
                            SameIgnoringCase(systemFolder, systemWindowsFolder + W(u"\\system32"));
                        return answer + (below ? "; yes" : "; no: " + Shown(systemFolder));
                    }});
    rows.push_back(
        {"GetSystemDirectoryA with MAX_PATH and with 3 bytes, as the sockets probe "
         "asks: the same folder as GetSystemDirectoryW",
         {"same folder, needs length + 1"},
         [] {
             char buffer[MAX_PATH];
             std::memset(buffer, 0xBD, sizeof buffer);
             UINT length = platform::GetSystemDirectoryA(buffer, MAX_PATH);
             char small[3];
             UINT needed = platform::GetSystemDirectoryA(small, 3);
             Wide asWide = Widened(std::string(buffer, std::min<UINT>(length, MAX_PATH)));
             bool same =
                 length < MAX_PATH && buffer[length] == 0 && SameIgnoringCase(asWide, systemFolder);
             return std::string(same ? "same folder" : "another folder: " + Shown(asWide)) +
                    (needed == length + 1 ? ", needs length + 1" : ", needs " + Number(needed));
         }});
}

void AddEnvironmentRows(std::vector<Row>& rows) {
    rows.push_back({"GetEnvironmentVariableW of GANTREL_CONFORMANCE with 64, 12 and 11 units; "
                    "of an absent variable",
                    {"11 conformance, 11, 12, 0"},
                    [] {
                        const Wide name = W(u"GANTREL_CONFORMANCE");
                        WCHAR value[64];
                        std::memset(value, 0xBD, sizeof value);
                        DWORD length = platform::GetEnvironmentVariableW(name.c_str(), value, 64);
                        std::string answer = Number(static_cast<long>(length));
                        if (length > 0 && length < 64) {
                            answer += " " + Shown(Wide(value));
                        }
                        answer += ", " + Number(static_cast<long>(platform::GetEnvironmentVariableW(
                                             name.c_str(), value, 12)));
                        answer += ", " + Number(static_cast<long>(platform::GetEnvironmentVariableW(
                                             name.c_str(), value, 11)));
                        return answer + ", " +
                               Number(static_cast<long>(platform::GetEnvironmentVariableW(
                                   W(u"GANTREL_ABSENT").c_str(), value, 64)));
                    }});
    rows.push_back(
        {"ExpandEnvironmentStringsW of %GANTREL_CONFORMANCE%\\x;%GANTREL_ABSENT% with 64 "
         "and with 4 units",
         {"31 conformance\\x;%GANTREL_ABSENT%, 31"},
         [] {
             const Wide text = W(u"%GANTREL_CONFORMANCE%\\x;%GANTREL_ABSENT%");
             WCHAR expanded[64];
             std::memset(expanded, 0xBD, sizeof expanded);
             DWORD stored = platform::ExpandEnvironmentStringsW(text.c_str(), expanded, 64);
             std::string answer = Number(static_cast<long>(stored));
             if (stored > 0 && stored <= 64) {
                 answer += " " + Shown(Wide(expanded));
             }
             WCHAR small[4];
             return answer + ", " +
                    Number(static_cast<long>(
                        platform::ExpandEnvironmentStringsW(text.c_str(), small, 4)));
         }});
}

template <typename Function> Function ProcedureAs(FARPROC procedure) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(procedure));
}

std::string StartSockets(FARPROC startup, FARPROC cleanup, WORD version) {
    WSADATA data;
    std::memset(&data, 0xBD, sizeof data);
    int status = ProcedureAs<platform::WsaStartupFunction>(startup)(version, &data);
    if (status != 0) {
        return Number(status);
    }
    return "0, version " + Hex(data.wVersion) + ", highest " + Hex(data.wHighVersion) +
           ", cleanup " + Number(ProcedureAs<platform::WsaCleanupFunction>(cleanup)());
}

void AddLibraryRows(std::vector<Row>& rows) {
    rows.push_back({"LoadLibraryExA(<system folder>\\ws2_32.dll, LOAD_WITH_ALTERED_SEARCH_PATH); "
                    "WSAStartup of 2.0 and of 2.2; FreeLibrary",
                    {"module | 0, version 0x2, highest 0x202, cleanup 0 | 0, version 0x202, "
                     "highest 0x202, cleanup 0 | TRUE"},
                    [] {
                        char path[MAX_PATH + 16];
                        UINT length = platform::GetSystemDirectoryA(path, MAX_PATH);
                        if (length == 0 || length >= MAX_PATH) {
                            return std::string("no system folder");
                        }
                        std::strcpy(path + length, "\\ws2_32.dll");
                        HMODULE library =
                            platform::LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
                        if (library == nullptr) {
                            return std::string("NULL");
                        }
                        FARPROC startup = platform::GetProcAddress(library, "WSAStartup");
                        FARPROC cleanup = platform::GetProcAddress(library, "WSACleanup");
                        std::string answer = "module | ";
                        if (startup != nullptr && cleanup != nullptr) {
                            answer += Join({StartSockets(startup, cleanup, MAKEWORD(2, 0)),
                                            StartSockets(startup, cleanup, MAKEWORD(2, 2))},
                                           " | ");
                        } else {
                            answer += "no WSAStartup or WSACleanup";
                        }
                        return answer + " | " + Truth(platform::FreeLibrary(library));
                    }});
    rows.push_back({"FindWindowA of a class no window has", {"NULL"}, [] {
                        return platform::FindWindowA("Gantrel conformance: no such class",
                                                     nullptr) == nullptr
                                   ? "NULL"
                                   : "a window";
                    }});
}

} // namespace

void AddSystemRows(std::vector<Row>& rows) {
    AddCodePageRows(rows);
    AddFolderRows(rows);
    AddEnvironmentRows(rows);
    AddLibraryRows(rows);
}

} // namespace answers
