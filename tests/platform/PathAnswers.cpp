// The rows about paths and names (beyond MAX_PATH, ending in a dot or a
// space, in other scripts, of devices), and the settings file's stream as
// the import reads it.
#include "Listings.h"

#include <algorithm>
#include <cstring>

namespace answers {
namespace {

// The folder chain below deep\ that make-fixtures.sh makes: beyond MAX_PATH.
Wide DeepFolder(const Fixture& fixture) {
    Wide deep = Below(fixture, u"deep");
    for (int level = 0; level < 12; ++level) {
        deep += W(u"\\folder-of-a-long-chain");
    }
    return deep;
}

// DeleteFileW of each name below the fixture, then how many entries the
// listing of `left` still shows: "TRUE TRUE, <left> lists 2".
std::string DeleteEach(const Fixture& f, std::initializer_list<const char16_t*> names,
                       const char16_t* left) {
    std::string answer;
    for (const char16_t* name : names) {
        answer +=
            (answer.empty() ? "" : " ") + Truth(platform::DeleteFileW(Below(f, name).c_str()));
    }
    return answer + ", " + Shown(W(left)) + " lists " +
           Number(static_cast<long>(List(Below(f, left)).size()));
}

void AddNameRows(std::vector<Row>& rows, const Fixture& f) {
    rows.push_back({"a file 300 characters deep: FindFirstFileW, DeleteFileW, RemoveDirectoryW "
                    "of its folder",
                    {"page.db 0x20, TRUE, TRUE, not listed"},
                    [&f] {
                        Wide folder = DeepFolder(f);
                        Wide file = folder + W(u"\\page.db");
                        std::string answer = Entry(file) + ", ";
                        answer += Truth(platform::DeleteFileW(file.c_str())) + ", ";
                        answer += Truth(platform::RemoveDirectoryW(folder.c_str()));
                        return answer + ", " + Entry(folder);
                    }});
    rows.push_back(
        {"verbatim names that end in a dot or a space: DeleteFileW of dots\\name., "
         "RemoveDirectoryW of dots\\folder-space",
         {"TRUE, TRUE: folder=0x10 name=0x20"},
         [&f] {
             std::string answer =
                 Truth(platform::DeleteFileW(Below(f, u"dots\\name.").c_str())) + ", ";
             answer += Truth(platform::RemoveDirectoryW(Below(f, u"dots\\folder ").c_str()));
             Entries left = List(Below(f, u"dots\\*"));
             left.erase(std::remove_if(left.begin(), left.end(),
                                       [](const std::pair<Wide, DWORD>& entry) {
                                           return entry.first[0] == '.' && entry.first.size() <= 2;
                                       }),
                        left.end());
             return answer + ": " + ByName(left);
         }});
    rows.push_back({"FindFirstFileW of names\\*: names in other scripts, as UTF-16",
                    {". .. \\u0141\\u00f3d\\u017a.txt \\u65e5\\u672c.txt \\ud83d\\ude00.dat"},
                    [&f] {
                        Entries entries = List(Below(f, u"names\\*"));
                        std::sort(entries.begin(), entries.end());
                        std::string names;
                        for (const auto& entry : entries) {
                            names += (names.empty() ? "" : " ") + Shown(entry.first);
                        }
                        return names;
                    }});
    rows.push_back(
        {"DeleteFileW of each name, the first in another case (\\u0141\\u00d3D\\u0179.TXT)",
         {"TRUE TRUE TRUE, names\\* lists 2"},
         [&f] {
             return DeleteEach(f,
                               {u"names\\\u0141\u00d3D\u0179.TXT", u"names\\\u65e5\u672c.txt",
                                u"names\\\U0001F600.dat"},
                               u"names\\*");
         }});
}

void AddDeviceNameRows(std::vector<Row>& rows, const Fixture& f) {
    // In a verbatim path a device's name is a file like any other.
    rows.push_back({"DeleteFileW of devices\\con, NUL.txt, com1, lpt9.log and \"aux .dat\", "
                    "verbatim",
                    {"TRUE TRUE TRUE TRUE TRUE, devices\\* lists 2"},
                    [&f] {
                        return DeleteEach(f,
                                          {u"devices\\con", u"devices\\NUL.txt", u"devices\\com1",
                                           u"devices\\lpt9.log", u"devices\\aux .dat"},
                                          u"devices\\*");
                    }});
}

// The settings file, as the import reads it: opened by its ANSI path, read
// in blocks of 4096 bytes, rewound once, closed.
void AddStreamRows(std::vector<Row>& rows, const Fixture& f) {
    static HANDLE file = INVALID_HANDLE_VALUE;
    static const auto Read = [] {
        BYTE buffer[4096];
        std::memset(buffer, 0xBD, sizeof buffer);
        DWORD read = 0xDEADBEEF;
        BOOL done = platform::ReadFile(file, buffer, sizeof buffer, &read, nullptr);
        std::string answer = Truth(done) + " " + Number(static_cast<long>(read));
        if (done && read > 0 && read < sizeof buffer) {
            answer += " \"" + Shown(std::string(buffer, buffer + read)) + "\"";
            answer += buffer[read] == 0xBD ? " then 0xBD" : " then overwritten";
        }
        return answer;
    };
    rows.push_back({"CreateFileA of settings.txt as the import opens it, ReadFile of 4096 bytes",
                    {"TRUE 11 \"key=value\\x0D\\x0A\" then 0xBD"},
                    [&f] {
                        std::string path = f.ansiFolder + "\\settings.txt";
                        file = platform::CreateFileA(path.c_str(), GENERIC_READ,
                                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
                        return file == INVALID_HANDLE_VALUE ? std::string("INVALID_HANDLE_VALUE")
                                                            : Read();
                    }});
    rows.push_back(
        {"ReadFile at its end, SetFilePointer(0, NULL, FILE_BEGIN), ReadFile, CloseHandle",
         {"TRUE 0, 0, TRUE 11 \"key=value\\x0D\\x0A\" then 0xBD, TRUE"},
         [] {
             std::string answer = Read() + ", ";
             answer +=
                 Number(static_cast<long>(platform::SetFilePointer(file, 0, nullptr, FILE_BEGIN))) +
                 ", ";
             answer += Read() + ", ";
             answer += Truth(platform::CloseHandle(file));
             file = INVALID_HANDLE_VALUE;
             return answer;
         }});
    rows.push_back({"CreateFileA of an absent file", {"INVALID_HANDLE_VALUE"}, [&f] {
                        std::string path = f.ansiFolder + "\\absent.txt";
                        HANDLE absent = platform::CreateFileA(
                            path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
                        if (absent == INVALID_HANDLE_VALUE) {
                            return "INVALID_HANDLE_VALUE";
                        }
                        platform::CloseHandle(absent);
                        return "opened";
                    }});
}

} // namespace

void AddPathRows(std::vector<Row>& rows, const Fixture& fixture) {
    AddNameRows(rows, fixture);
    AddDeviceNameRows(rows, fixture);
    AddStreamRows(rows, fixture);
}

} // namespace answers
