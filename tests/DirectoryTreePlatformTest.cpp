// The emulated file operations the folder removal stands on, held to the
// Windows behaviour the walk relies on: listings with "." and "..", the
// attribute bits, and removals that refuse what Windows refuses.
#include "DirectoryTreeSupport.h"
#include "Control.h"
#include "Platform.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>

namespace {

class EmulatedFiles : public ScratchDrive {
  protected:
    // Every entry of a listing, name to attributes, in order of appearance.
    std::vector<std::pair<std::string, DWORD>> List(const char* pattern) {
        std::vector<std::pair<std::string, DWORD>> entries;
        WIN32_FIND_DATAA found;
        std::memset(&found, 0xBD, sizeof found);
        HANDLE search = platform::FindFirstFileA(pattern, &found);
        if (search == INVALID_HANDLE_VALUE) {
            return entries;
        }
        do {
            entries.emplace_back(found.cFileName, found.dwFileAttributes);
        } while (platform::FindNextFileA(search, &found));
        EXPECT_EQ(emulated::LastFileError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
        EXPECT_TRUE(platform::FindClose(search));
        return entries;
    }
    // The names of a wide listing, as UTF-16.
    std::set<std::u16string> ListWide(const char16_t* pattern) {
        std::set<std::u16string> names;
        WIN32_FIND_DATAW found;
        std::memset(&found, 0xBD, sizeof found);
        HANDLE search = platform::FindFirstFileW(pattern, &found);
        if (search == INVALID_HANDLE_VALUE) {
            return names;
        }
        do {
            names.emplace(found.cFileName);
        } while (platform::FindNextFileW(search, &found));
        EXPECT_TRUE(platform::FindClose(search));
        return names;
    }
    std::set<std::string> Names(const char* pattern) {
        std::set<std::string> names;
        for (const auto& entry : List(pattern)) {
            names.insert(entry.first);
        }
        return names;
    }
};

TEST_F(EmulatedFiles, ListingHoldsDotsFirstAndWindowsAttributes) {
    MakeFile("db/plain.dat", "12345");
    MakeFile("db/locked.dat", "x");
    MakeReadOnly("db/locked.dat");
    MakeFile("db/.hidden", "x");
    MakeFolder("db/sub");
    MakeFolder("outside");
    MakeLink(Disk("outside"), "db/folder-link");
    MakeLink(Disk("db/plain.dat"), "db/file-link");

    auto entries = List("D:\\db\\*.*");
    ASSERT_EQ(entries.size(), 8u);
    EXPECT_EQ(entries[0].first, ".");
    EXPECT_EQ(entries[1].first, "..");
    std::map<std::string, DWORD> byName(entries.begin(), entries.end());
    EXPECT_EQ(byName["."], 0x10u);
    EXPECT_EQ(byName["plain.dat"], 0x20u);
    EXPECT_EQ(byName["locked.dat"], 0x21u);
    EXPECT_EQ(byName[".hidden"], 0x22u);
    EXPECT_EQ(byName["sub"], 0x10u);
    EXPECT_EQ(byName["folder-link"], 0x410u);
    EXPECT_EQ(byName["file-link"], 0x420u);
    EXPECT_EQ(emulated::OpenSearchCount(), 0);
}

TEST_F(EmulatedFiles, DriveRootListsNoDotsAndMissingFoldersCannotBeListed) {
    MakeFile("only.dat", "x");
    auto entries = List("D:\\*.*");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].first, "only.dat");

    WIN32_FIND_DATAA found;
    EXPECT_EQ(platform::FindFirstFileA("D:\\absent\\*.*", &found), INVALID_HANDLE_VALUE);
    EXPECT_EQ(emulated::LastFileError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(platform::FindFirstFileA("D:\\only.dat\\*.*", &found), INVALID_HANDLE_VALUE);
    EXPECT_EQ(emulated::OpenSearchCount(), 0);
}

TEST_F(EmulatedFiles, DeleteFileRefusesFoldersAndReadOnlyFilesAndDeletesLinksOnly) {
    MakeFolder("db/sub");
    MakeFile("db/locked.dat", "x");
    MakeReadOnly("db/locked.dat");
    MakeFile("target.dat", "t");
    MakeFolder("target-folder");
    MakeLink(Disk("target.dat"), "db/file-link");
    MakeLink(Disk("target-folder"), "db/folder-link");

    EXPECT_FALSE(platform::DeleteFileA("D:\\db\\sub"));
    EXPECT_EQ(emulated::LastFileError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(platform::DeleteFileA("D:\\db\\locked.dat"));
    EXPECT_EQ(emulated::LastFileError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(platform::DeleteFileA("D:\\db\\folder-link"));
    EXPECT_FALSE(platform::DeleteFileA("D:\\db\\absent.dat"));
    EXPECT_EQ(emulated::LastFileError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(Exists("db/sub"));
    EXPECT_TRUE(Exists("db/locked.dat"));
    EXPECT_TRUE(Exists("db/folder-link"));

    EXPECT_TRUE(platform::DeleteFileA("D:\\db\\file-link"));
    EXPECT_FALSE(Exists("db/file-link"));
    EXPECT_EQ(ReadFileBytes(Disk("target.dat")), "t");

    EXPECT_TRUE(platform::SetFileAttributesA("D:\\db\\locked.dat", FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(platform::GetFileAttributesA("D:\\db\\locked.dat"), 0x20u);
    EXPECT_TRUE(platform::DeleteFileA("D:\\db\\locked.dat"));
    EXPECT_FALSE(Exists("db/locked.dat"));
}

TEST_F(EmulatedFiles, RemoveDirectoryRemovesOnlyEmptyFoldersAndFolderLinks) {
    MakeFile("db/full/x.dat", "x");
    MakeFolder("db/empty");
    MakeFolder("db/guarded");
    MakeReadOnly("db/guarded");
    MakeFile("db/file.dat", "f");
    MakeFile("target-folder/kept.dat", "k");
    MakeLink(Disk("target-folder"), "db/folder-link");

    EXPECT_FALSE(platform::RemoveDirectoryA("D:\\db\\full"));
    EXPECT_EQ(emulated::LastFileError(), static_cast<DWORD>(ERROR_DIR_NOT_EMPTY));
    EXPECT_FALSE(platform::RemoveDirectoryA("D:\\db\\guarded"));
    EXPECT_EQ(emulated::LastFileError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(platform::RemoveDirectoryA("D:\\db\\file.dat"));
    EXPECT_EQ(emulated::LastFileError(), static_cast<DWORD>(ERROR_DIRECTORY));
    EXPECT_FALSE(platform::RemoveDirectoryA("D:\\"));
    EXPECT_FALSE(platform::RemoveDirectoryA("D:"));
    EXPECT_TRUE(Exists("db/full/x.dat"));
    EXPECT_TRUE(Exists("db/guarded"));
    EXPECT_TRUE(Exists("db/file.dat"));
    EXPECT_TRUE(PathExists(drives + "/d"));

    EXPECT_TRUE(platform::RemoveDirectoryA("D:\\db\\empty"));
    EXPECT_FALSE(Exists("db/empty"));
    EXPECT_TRUE(platform::RemoveDirectoryA("D:\\db\\folder-link"));
    EXPECT_FALSE(Exists("db/folder-link"));
    EXPECT_EQ(ReadFileBytes(Disk("target-folder/kept.dat")), "k");
}

TEST_F(EmulatedFiles, AttributesOfALinkNeverReachItsTarget) {
    MakeFile("target.dat", "t");
    MakeLink(Disk("target.dat"), "link");
    EXPECT_EQ(platform::GetFileAttributesA("D:\\link"), 0x420u);
    EXPECT_FALSE(platform::SetFileAttributesA("D:\\link", FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(platform::SetFileAttributesA("D:\\link", FILE_ATTRIBUTE_NORMAL));
    EXPECT_FALSE(IsReadOnly("target.dat"));
    MakeReadOnly("target.dat");
    EXPECT_TRUE(platform::SetFileAttributesA("D:\\link", FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(IsReadOnly("target.dat"));
}

TEST_F(EmulatedFiles, PathsStayInsideTheDriveFolders) {
    MakeFile("inside.dat", "i");
    WriteFileBytes(scratch + "/above.dat", "a");
    // ".." never climbs above a drive's folder, as on Windows.
    EXPECT_EQ(platform::GetFileAttributesA("D:\\..\\..\\inside.dat"), 0x20u);
    EXPECT_FALSE(platform::DeleteFileA("D:\\..\\..\\above.dat"));
    EXPECT_TRUE(PathExists(scratch + "/above.dat"));
    // A share stands for nothing here; a path of MAX_PATH bytes is refused
    // before the disk is looked at.
    EXPECT_EQ(platform::GetFileAttributesA("\\\\server\\share\\inside.dat"),
              INVALID_FILE_ATTRIBUTES);
    std::string tooLong = "D:\\" + std::string(MAX_PATH - 3, 'x');
    EXPECT_EQ(platform::GetFileAttributesA(tooLong.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(emulated::LastFileError(), 206u);
}

TEST_F(EmulatedFiles, TrailingDotsAndSpacesFoldUnlessThePathIsVerbatim) {
    MakeFile("x/a", "plain");
    MakeFile("x/a.", "dotted");
    MakeFile("x/.../b", "b");
    // The last component loses its trailing dots and spaces: "x\a." is
    // "x\a", "x\..." is "x" itself.
    EXPECT_TRUE(platform::DeleteFileA("D:\\x\\a."));
    EXPECT_FALSE(Exists("x/a"));
    EXPECT_EQ(ReadFileBytes(Disk("x/a.")), "dotted");
    EXPECT_EQ(platform::GetFileAttributesA("D:\\x\\..."), 0x10u);
    EXPECT_FALSE(platform::RemoveDirectoryA("D:\\x\\..."));
    EXPECT_EQ(emulated::LastFileError(), static_cast<DWORD>(ERROR_DIR_NOT_EMPTY));

    EXPECT_TRUE(platform::DeleteFileA("\\\\?\\D:\\x\\a."));
    EXPECT_FALSE(Exists("x/a."));
    EXPECT_TRUE(platform::DeleteFileA("\\\\?\\D:\\x\\...\\b"));
    EXPECT_TRUE(platform::RemoveDirectoryA("\\\\?\\D:\\x\\..."));
    EXPECT_FALSE(Exists("x/..."));
    // A verbatim path resolves nothing: "." and ".." stand for no entry.
    EXPECT_EQ(platform::GetFileAttributesA("\\\\?\\D:\\x\\.."), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(platform::GetFileAttributesA("\\\\?\\D:\\x"), 0x10u);
}

TEST_F(EmulatedFiles, NamesAreUtf8OnDiskAndTheAnsiCallsSeeThemThroughTheCodePage) {
    MakeFile("x/Łódź.txt", "pl");
    MakeFile("x/日本.txt", "ja");
    MakeFile("x/😀", "emoji");
    // A character the code page cannot carry is '?', one per UTF-16 unit.
    EXPECT_EQ(Names("D:\\x\\*"), (std::set<std::string>{".", "..",
                                                        "?\xF3"
                                                        "d?.txt",
                                                        "??.txt", "??"}));
    emulated::SetCodePage(932);
    EXPECT_EQ(Names("D:\\x\\*"),
              (std::set<std::string>{".", "..", "??d?.txt", "\x93\xFA\x96\x7B.txt", "??"}));
    EXPECT_EQ(ListWide(u"\\\\?\\D:\\x\\*"),
              (std::set<std::u16string>{u".", u"..", u"Łódź.txt", u"日本.txt", u"😀"}));
    // What the ANSI view shows reaches nothing; the ANSI name of a character
    // the code page carries reaches the file.
    EXPECT_EQ(platform::GetFileAttributesA("D:\\x\\??d?.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(platform::DeleteFileA("D:\\x\\\x93\xFA\x96\x7B.txt"));
    EXPECT_FALSE(Exists("x/日本.txt"));
    // Names are found without regard to case, in any script.
    EXPECT_TRUE(platform::DeleteFileW(u"\\\\?\\d:\\X\\ŁÓDŹ.TXT"));
    EXPECT_FALSE(Exists("x/Łódź.txt"));
    EXPECT_EQ(platform::GetFileAttributesA("d:\\X"), 0x10u);
}

TEST_F(EmulatedFiles, NamesOnDiskThatAreNotUtf8ShowAsReplacementCharacters) {
    // Another program's Latin-1 name, an overlong '/' and stray continuation
    // bytes: each broken sequence is one U+FFFD, never a separator or a NUL.
    MakeFile("x/\xE9t\xE9", "latin");
    MakeFile("x/a\xC0\xAF", "overlong");
    MakeFile("x/b\x80\x80", "stray");
    EXPECT_EQ(ListWide(u"D:\\x\\*"), (std::set<std::u16string>{u".", u"..", u"\uFFFDt\uFFFD",
                                                               u"a\uFFFD", u"b\uFFFD\uFFFD"}));
    EXPECT_EQ(Names("D:\\x\\*"), (std::set<std::string>{".", "..", "?t?", "a?", "b??"}));
    // What the listing shows reaches none of them.
    EXPECT_FALSE(platform::DeleteFileW(u"D:\\x\\\uFFFDt\uFFFD"));
    EXPECT_FALSE(platform::DeleteFileA("D:\\x\\b??"));
    EXPECT_EQ(ReadFileBytes(Disk("x/\xE9t\xE9")), "latin");
}

TEST_F(EmulatedFiles, DeviceNamesReachNoFileUnlessThePathIsVerbatim) {
    for (const char* device : {"con", "NUL.txt", "Com1", "lpt9.log", "aux .dat"}) {
        MakeFile(std::string("x/") + device, "d");
        std::string path = std::string("D:\\x\\") + device;
        EXPECT_FALSE(platform::DeleteFileA(path.c_str())) << device;
        EXPECT_TRUE(Exists(std::string("x/") + device)) << device;
        EXPECT_TRUE(platform::DeleteFileA(("\\\\?\\" + path).c_str())) << device;
        EXPECT_FALSE(Exists(std::string("x/") + device)) << device;
    }
    MakeFile("x/console", "c");
    EXPECT_TRUE(platform::DeleteFileA("D:\\x\\console"));
}

TEST_F(EmulatedFiles, InjectedFaultsFailAsTheRealOperations) {
    MakeFile("a.dat", "a");
    const std::pair<emulated::FaultKind, DWORD> kinds[] = {
        {emulated::FaultKind::AccessDenied, ERROR_ACCESS_DENIED},
        {emulated::FaultKind::InUse, ERROR_SHARING_VIOLATION},
        {emulated::FaultKind::NotFound, ERROR_FILE_NOT_FOUND},
        {emulated::FaultKind::OutOfMemory, ERROR_NOT_ENOUGH_MEMORY}};
    for (const auto& kind : kinds) {
        emulated::InjectFault(1, kind.first, "DeleteFileA");
        EXPECT_FALSE(platform::DeleteFileA("D:\\a.dat"));
        EXPECT_EQ(emulated::LastFileError(), kind.second);
        EXPECT_TRUE(Exists("a.dat"));
    }
    ASSERT_TRUE(emulated::FailRemovalOf("D:\\a.dat", emulated::FaultKind::InUse));
    EXPECT_FALSE(platform::DeleteFileA("D:\\a.dat"));
    EXPECT_EQ(emulated::LastFileError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_TRUE(Exists("a.dat"));
    emulated::ResetPlatform();
    emulated::SetDriveFolder(drives);
    EXPECT_TRUE(platform::DeleteFileA("D:\\a.dat"));
    EXPECT_FALSE(Exists("a.dat"));
}

} // namespace
