// The rows about files and folders, asked through the wide calls on
// verbatim paths as the folder walk asks them, and the settings file's
// stream as the import reads it.
#include "AnswerTable.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace answers {
namespace {

typedef std::vector<std::pair<Wide, DWORD>> Entries;

// Every entry a listing shows, in its order; empty when it cannot start.
// `ended` tells whether FindNextFileW ended it with FALSE.
Entries List(const Wide& pattern, bool* ended = nullptr) {
    Entries entries;
    WIN32_FIND_DATAW found;
    std::memset(&found, 0xBD, sizeof found);
    HANDLE search = platform::FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return entries;
    }
    BOOL more = TRUE;
    while (more && entries.size() < 100) {
        entries.emplace_back(Wide(found.cFileName), found.dwFileAttributes);
        std::memset(&found, 0xBD, sizeof found);
        more = platform::FindNextFileW(search, &found);
    }
    if (ended != nullptr) {
        *ended = !more;
    }
    platform::FindClose(search);
    return entries;
}

// What the listing shows of the entry at `path` itself.
std::string Entry(const Wide& path) {
    Entries entries = List(path);
    if (entries.empty()) {
        return "not listed";
    }
    return Shown(entries[0].first) + " " + Hex(entries[0].second);
}

std::string ByName(Entries entries) {
    std::sort(entries.begin(), entries.end());
    std::string text;
    for (const auto& entry : entries) {
        text += (text.empty() ? "" : " ") + Shown(entry.first) + "=" + Hex(entry.second);
    }
    return text;
}

// How the walk holds a folder, and how the system-folder check opens one.
const DWORD pinAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES;
const DWORD pinShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
const DWORD pinFlags = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;
const DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE Pin(const Wide& path) {
    return platform::CreateFileW(path.c_str(), pinAccess, pinShare, nullptr, OPEN_EXISTING,
                                 pinFlags, nullptr);
}

HANDLE OpenFollowingLinks(const Wide& path) {
    return platform::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, shareAll, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

BY_HANDLE_FILE_INFORMATION Information(HANDLE handle, bool& known) {
    BY_HANDLE_FILE_INFORMATION information;
    std::memset(&information, 0xBD, sizeof information);
    known = handle != INVALID_HANDLE_VALUE &&
            platform::GetFileInformationByHandle(handle, &information);
    return information;
}

// The attributes a handle opened so describes; the handle is closed again.
std::string HandleAttributes(HANDLE handle) {
    if (handle == INVALID_HANDLE_VALUE) {
        return "INVALID_HANDLE_VALUE";
    }
    bool known = false;
    BY_HANDLE_FILE_INFORMATION information = Information(handle, known);
    platform::CloseHandle(handle);
    return known ? Hex(information.dwFileAttributes) : "GetFileInformationByHandle FALSE";
}

bool SameIdentity(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

// Whether the handles on `a` and `b` (opened following links) name one
// entry.
std::string Identities(const Wide& a, const Wide& b) {
    HANDLE first = OpenFollowingLinks(a);
    HANDLE second = OpenFollowingLinks(b);
    bool knownFirst = false;
    bool knownSecond = false;
    BY_HANDLE_FILE_INFORMATION one = Information(first, knownFirst);
    BY_HANDLE_FILE_INFORMATION other = Information(second, knownSecond);
    for (HANDLE handle : {first, second}) {
        if (handle != INVALID_HANDLE_VALUE) {
            platform::CloseHandle(handle);
        }
    }
    if (!knownFirst || !knownSecond) {
        return "not both known";
    }
    return SameIdentity(one, other) ? "same" : "other";
}

std::string Listed(const Wide& path) {
    return List(path).empty() ? "not listed" : "listed";
}

// The folder chain below deep\ that make-fixtures.sh makes: beyond MAX_PATH.
Wide DeepFolder(const Fixture& fixture) {
    Wide deep = Below(fixture, u"deep");
    for (int level = 0; level < 12; ++level) {
        deep += W(u"\\folder-of-a-long-chain");
    }
    return deep;
}

void AddListingRows(std::vector<Row>& rows, const Fixture& f) {
    rows.push_back({"FindFirstFileW/FindNextFileW of list\\*.*: the first two names, the count, "
                    "and how it ends",
                    {". .. of 6, then FALSE"},
                    [&f] {
                        bool ended = false;
                        Entries entries = List(Below(f, u"list\\*.*"), &ended);
                        if (entries.size() < 2) {
                            return "only " + Number(static_cast<long>(entries.size()));
                        }
                        return Shown(entries[0].first) + " " + Shown(entries[1].first) + " of " +
                               Number(static_cast<long>(entries.size())) + ", then " +
                               Truth(!ended);
                    }});
    rows.push_back({"list\\*.*: each entry's attributes (a file, a folder, a link to a folder, a "
                    "read-only file)",
                    {".=0x10 ..=0x10 file.dat=0x20 folder=0x10 link=0x410 locked.dat=0x21"},
                    [&f] { return ByName(List(Below(f, u"list\\*.*"))); }});
    rows.push_back({"FindFirstFileW of an entry itself: list\\link, list\\folder, list\\absent",
                    {"link 0x410, folder 0x10, not listed"},
                    [&f] {
                        return Entry(Below(f, u"list\\link")) + ", " +
                               Entry(Below(f, u"list\\folder")) + ", " +
                               Entry(Below(f, u"list\\absent"));
                    }});
    rows.push_back({"FindFirstFileW of LIST\\FOLDER, another case: the name as on disk",
                    {"folder 0x10"},
                    [&f] { return Entry(Below(f, u"LIST\\FOLDER")); }});
    rows.push_back({"FindFirstFileW of absent\\*.* and of settings.txt\\*.* (a file)",
                    {"not listed, not listed"},
                    [&f] {
                        return Listed(Below(f, u"absent\\*.*")) + ", " +
                               Listed(Below(f, u"settings.txt\\*.*"));
                    }});
    // Windows lists a symbolic link to a file as a reparse point; Wine lists
    // a Unix link to a file as the file it leads to, and no call tells it
    // apart (so under Wine only links to folders can be tested).
    rows.push_back({"FindFirstFileW of file-link, a link to a file",
                    {"file-link 0x420", "file-link 0x20", "file-link 0x20"},
                    [&f] { return Entry(Below(f, u"file-link")); }});
}

void AddRemovalRows(std::vector<Row>& rows, const Fixture& f) {
    rows.push_back(
        {"DeleteFileW of a read-only file, then its listing", {"FALSE, readonly.dat 0x21"}, [&f] {
             Wide path = Below(f, u"readonly.dat");
             return Join({Truth(platform::DeleteFileW(path.c_str())), Entry(path)}, ", ");
         }});
    rows.push_back({"SetFileAttributesW(0x20) of it, its listing, then DeleteFileW",
                    {"TRUE, readonly.dat 0x20, TRUE, not listed"},
                    [&f] {
                        Wide path = Below(f, u"readonly.dat");
                        std::string set = Truth(platform::SetFileAttributesW(path.c_str(), 0x20));
                        std::string listed = Entry(path);
                        std::string deleted = Truth(platform::DeleteFileW(path.c_str()));
                        return set + ", " + listed + ", " + deleted + ", " + Entry(path);
                    }});
    rows.push_back(
        {"RemoveDirectoryW of a folder that holds a file, of a file, of the root \\\\?\\D:\\",
         {"FALSE full 0x10, FALSE settings.txt 0x20, FALSE"},
         [&f] {
             Wide full = Below(f, u"full");
             Wide file = Below(f, u"settings.txt");
             std::string answer = Truth(platform::RemoveDirectoryW(full.c_str()));
             answer += " " + Entry(full) + ", ";
             answer += Truth(platform::RemoveDirectoryW(file.c_str()));
             answer += " " + Entry(file) + ", ";
             return answer + Truth(platform::RemoveDirectoryW(W(u"\\\\?\\D:\\").c_str()));
         }});
    rows.push_back(
        {"DeleteFileW of a folder", {"FALSE, folder 0x10"}, [&f] {
             Wide path = Below(f, u"list\\folder");
             return Join({Truth(platform::DeleteFileW(path.c_str())), Entry(path)}, ", ");
         }});
    // Windows refuses to remove a read-only folder, so the removal clears
    // the mark first. Wine removes it as Unix does, by the parent's mode,
    // and the calls after it find nothing.
    rows.push_back({"an empty read-only folder: its listing, RemoveDirectoryW, "
                    "SetFileAttributesW(0x10), RemoveDirectoryW",
                    {"guarded 0x11, FALSE, TRUE, TRUE", "guarded 0x11, TRUE, FALSE, FALSE",
                     "guarded 0x11, TRUE, FALSE, FALSE"},
                    [&f] {
                        Wide path = Below(f, u"guarded");
                        return Join({Entry(path), Truth(platform::RemoveDirectoryW(path.c_str())),
                                     Truth(platform::SetFileAttributesW(path.c_str(), 0x10)),
                                     Truth(platform::RemoveDirectoryW(path.c_str()))},
                                    ", ");
                    }});
    rows.push_back(
        {"RemoveDirectoryW of an empty folder", {"TRUE, not listed"}, [&f] {
             Wide path = Below(f, u"empty");
             return Join({Truth(platform::RemoveDirectoryW(path.c_str())), Entry(path)}, ", ");
         }});
}

void AddHeldFolderRows(std::vector<Row>& rows, const Fixture& f) {
    // The folder walk holds each folder so while it empties it; the handle
    // is kept open across the rows below, as the walk keeps it.
    static HANDLE held = INVALID_HANDLE_VALUE;
    rows.push_back({"CreateFileW of a folder as the walk holds it, GetFileInformationByHandle",
                    {"0x10"},
                    [&f] {
                        held = Pin(Below(f, u"held"));
                        if (held == INVALID_HANDLE_VALUE) {
                            return std::string("INVALID_HANDLE_VALUE");
                        }
                        bool known = false;
                        BY_HANDLE_FILE_INFORMATION information = Information(held, known);
                        return known ? Hex(information.dwFileAttributes) : std::string("FALSE");
                    }});
    rows.push_back({"two handles on the held folder (one by another case), and one on another "
                    "folder: volume serial and file index",
                    {"same, other"},
                    [&f] {
                        return Identities(Below(f, u"held"), Below(f, u"HELD")) + ", " +
                               Identities(Below(f, u"held"), Below(f, u"other"));
                    }});
    rows.push_back(
        {"RemoveDirectoryW of the empty folder held without FILE_SHARE_DELETE",
         {"FALSE, held 0x10"},
         [&f] {
             Wide path = Below(f, u"held");
             return Join({Truth(platform::RemoveDirectoryW(path.c_str())), Entry(path)}, ", ");
         }});
    rows.push_back({"CloseHandle of it, then RemoveDirectoryW", {"TRUE, TRUE, not listed"}, [&f] {
                        Wide path = Below(f, u"held");
                        std::string closed = Truth(platform::CloseHandle(held));
                        held = INVALID_HANDLE_VALUE;
                        std::string removed = Truth(platform::RemoveDirectoryW(path.c_str()));
                        return closed + ", " + removed + ", " + Entry(path);
                    }});
    rows.push_back({"CreateFileW as the walk holds a folder, on a file and on an absent entry",
                    {"0x20, INVALID_HANDLE_VALUE"},
                    [&f] {
                        return HandleAttributes(Pin(Below(f, u"settings.txt"))) + ", " +
                               HandleAttributes(Pin(Below(f, u"absent")));
                    }});
}

void AddLinkRows(std::vector<Row>& rows, const Fixture& f) {
    // With FILE_FLAG_OPEN_REPARSE_POINT, CreateFile opens the reparse point
    // itself and "normal reparse point processing will not occur"
    // (CreateFileW's documentation). Wine opens a Unix symbolic link's
    // target instead, and its handle describes a plain folder.
    rows.push_back({"CreateFileW of list\\link as the walk holds a folder: the handle's attributes",
                    {"0x410", "0x10", "0x10"},
                    [&f] { return HandleAttributes(Pin(Below(f, u"list\\link"))); }});
    rows.push_back({"CreateFileW of list\\link following links: the target's volume serial and "
                    "file index",
                    {"same"},
                    [&f] { return Identities(Below(f, u"list\\link"), Below(f, u"target")); }});
    // RemoveDirectoryW removes a symbolic link to a folder as the link
    // (RemoveDirectoryW's documentation); Wine follows the Unix link,
    // removes the empty folder it leads to and leaves the link, which no
    // listing shows once it leads nowhere (the suite looks on disk). The
    // module therefore removes a link only where the handle describes the
    // link.
    rows.push_back(
        {"RemoveDirectoryW of link-to-empty, a link to an empty folder: what the "
         "listing shows of the link and of its target",
         {"TRUE, link not listed, target listed", "TRUE, link not listed, target not listed",
          "TRUE, link not listed, target not listed"},
         [&f] {
             Wide link = Below(f, u"link-to-empty");
             std::string removed = Truth(platform::RemoveDirectoryW(link.c_str()));
             return removed + ", link " + Listed(link) + ", target " +
                    Listed(Below(f, u"empty-target"));
         }});
}

void AddPathRows(std::vector<Row>& rows, const Fixture& f) {
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
             std::string answer;
             for (const char16_t* name : {u"names\\\u0141\u00d3D\u0179.TXT",
                                          u"names\\\u65e5\u672c.txt", u"names\\\U0001F600.dat"}) {
                 answer += (answer.empty() ? "" : " ") +
                           Truth(platform::DeleteFileW(Below(f, name).c_str()));
             }
             return answer + ", names\\* lists " +
                    Number(static_cast<long>(List(Below(f, u"names\\*")).size()));
         }});
}

void AddDeviceNameRows(std::vector<Row>& rows, const Fixture& f) {
    // In a verbatim path a device's name is a file like any other.
    rows.push_back({"DeleteFileW of devices\\con, NUL.txt, com1, lpt9.log and \"aux .dat\", "
                    "verbatim",
                    {"TRUE TRUE TRUE TRUE TRUE, devices\\* lists 2"},
                    [&f] {
                        std::string answer;
                        for (const char16_t* name :
                             {u"devices\\con", u"devices\\NUL.txt", u"devices\\com1",
                              u"devices\\lpt9.log", u"devices\\aux .dat"}) {
                            answer += (answer.empty() ? "" : " ") +
                                      Truth(platform::DeleteFileW(Below(f, name).c_str()));
                        }
                        return answer + ", devices\\* lists " +
                               Number(static_cast<long>(List(Below(f, u"devices\\*")).size()));
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

void AddFileRows(std::vector<Row>& rows, const Fixture& fixture) {
    AddListingRows(rows, fixture);
    AddRemovalRows(rows, fixture);
    AddHeldFolderRows(rows, fixture);
    AddLinkRows(rows, fixture);
    AddPathRows(rows, fixture);
    AddDeviceNameRows(rows, fixture);
    AddStreamRows(rows, fixture);
}

} // namespace answers
