// The rows about files and folders, asked through the wide calls on
// verbatim paths as the folder walk asks them: listings, removals, held
// folders and links.
#include "Listings.h"

#include <cstring>

namespace answers {
namespace {

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

} // namespace

void AddFileRows(std::vector<Row>& rows, const Fixture& fixture) {
    AddListingRows(rows, fixture);
    AddRemovalRows(rows, fixture);
    AddHeldFolderRows(rows, fixture);
    AddLinkRows(rows, fixture);
}

} // namespace answers
