// RemoveDirectoryTree and EmptyDirectory on the emulated platform: trees on
// the real disk under a scratch drive folder, and what is left of them.
#include "DirectoryTree.h"
#include "DirectoryTreeSupport.h"
#include "Control.h"
#include "LeadBytes.h"
#include "TextMemory.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class DirectoryTree : public ScratchDrive {};

TEST_F(DirectoryTree, EmptyFolderGoesAtTheFirstAttempt) {
    MakeFolder("db");
    TraceRecorder trace;
    EXPECT_EQ(RemoveDirectoryTree("D:\\db"), 0);
    EXPECT_FALSE(Exists("db"));
    EXPECT_EQ(trace.Count("RemoveDirectoryW("), 1) << trace.Text();
    EXPECT_EQ(trace.Count("\\\\*.*"), 0) << trace.Text(); // no listing of its entries
}

TEST_F(DirectoryTree, NestedTreeWithReadOnlyHiddenAndDotNamesGoesWhole) {
    MakeFile("db/top.dat", "1");
    MakeFile("db/.hidden", "2");
    MakeFile("db/.../inside.dat", "3");
    MakeFile("db/.. /inside.dat", "3");
    MakeFile("db/dotted.", "3");
    MakeFile("db/spaced ", "3");
    MakeFile("db/..x", "4");
    MakeFile("db/locked.dat", "5");
    MakeReadOnly("db/locked.dat");
    MakeFile("db/one/two/three/deep.dat", "6");
    MakeFile("db/one/two/.hidden-folder/inner.dat", "7");
    MakeFile("db/guarded/inside.dat", "8");
    MakeReadOnly("db/guarded/inside.dat");
    MakeReadOnly("db/guarded");
    MakeFolder("db/.../nested.");
    MakeFile("keep/sibling.dat", "9");

    EXPECT_EQ(RemoveDirectoryTree("D:\\db"), 0);
    EXPECT_FALSE(Exists("db"));
    EXPECT_EQ(ReadFileBytes(Disk("keep/sibling.dat")), "9");
    EXPECT_EQ(emulated::OpenSearchCount(), 0);
}

TEST_F(DirectoryTree, ReadOnlyMarkIsClearedFirstKeepingTheOtherBits) {
    MakeFile("db/.marked", "x");
    MakeReadOnly("db/.marked");
    TraceRecorder recorder;
    RemoveDirectoryTree("D:\\db");
    const std::string& trace = recorder.Text();
    // Hidden (0x02) and archive (0x20) stay as the listing reported them.
    std::size_t cleared = trace.find(R"(SetFileAttributesW("\\\\?\\D:\\db\\.marked", 0x22))");
    std::size_t deleted = trace.find(R"(DeleteFileW("\\\\?\\D:\\db\\.marked"))");
    ASSERT_NE(cleared, std::string::npos) << trace;
    ASSERT_NE(deleted, std::string::npos) << trace;
    EXPECT_LT(cleared, deleted);
    EXPECT_FALSE(Exists("db"));
}

TEST_F(DirectoryTree, ReadOnlyFolderNamedGoesOnceEmptied) {
    MakeFile("db/inside.dat", "x");
    MakeReadOnly("db");
    MakeFolder("empty");
    MakeReadOnly("empty");
    EXPECT_EQ(RemoveDirectoryTree("D:\\db"), 0);
    EXPECT_EQ(RemoveDirectoryTree("D:\\empty"), 0);
    EXPECT_FALSE(Exists("db"));
    EXPECT_FALSE(Exists("empty"));
    // Emptying a folder leaves its mark alone.
    MakeFile("kept/inside.dat", "x");
    MakeReadOnly("kept");
    EXPECT_EQ(EmptyDirectory("D:\\kept"), 0);
    EXPECT_TRUE(IsReadOnly("kept"));
    EXPECT_FALSE(Exists("kept/inside.dat"));
}

TEST_F(DirectoryTree, FileInUseStaysWithTheFoldersAboveIt) {
    MakeFile("db/a/held.dat", "held");
    MakeFile("db/a/free.dat", "free");
    MakeFile("db/b/other.dat", "other");
    MakeFile("db/top.dat", "top");
    ASSERT_TRUE(emulated::FailRemovalOf("D:\\db\\a\\held.dat", emulated::FaultKind::InUse));

    TraceRecorder trace;
    EXPECT_EQ(RemoveDirectoryTree("D:\\db"), 0);
    EXPECT_EQ(ReadFileBytes(Disk("db/a/held.dat")), "held");
    EXPECT_FALSE(Exists("db/a/free.dat"));
    EXPECT_FALSE(Exists("db/b"));
    EXPECT_FALSE(Exists("db/top.dat"));
    // Promptly: one attempt at the held file, two at each folder above it.
    EXPECT_EQ(trace.Count(R"(DeleteFileW("\\\\?\\D:\\db\\a\\held.dat"))"), 1) << trace.Text();
    EXPECT_EQ(trace.Count(R"(RemoveDirectoryW("\\\\?\\D:\\db\\a"))"), 2) << trace.Text();
    EXPECT_EQ(trace.Count(R"(RemoveDirectoryW("\\\\?\\D:\\db"))"), 2) << trace.Text();
}

TEST_F(DirectoryTree, EmptyFolderInUseStays) {
    MakeFolder("db");
    ASSERT_TRUE(emulated::FailRemovalOf("D:\\db", emulated::FaultKind::InUse));
    EXPECT_EQ(RemoveDirectoryTree("D:\\db"), 0);
    EXPECT_TRUE(Exists("db"));
    EXPECT_EQ(emulated::OpenSearchCount(), 0);
}

TEST_F(DirectoryTree, MissingFolderOrFileRemovesNothing) {
    MakeFile("file.dat", "data");
    MakeFile("db/x.dat", "x");
    EXPECT_EQ(RemoveDirectoryTree("D:\\absent"), 0);
    EXPECT_EQ(RemoveDirectoryTree("D:\\file.dat"), 0);
    EXPECT_EQ(RemoveDirectoryTree("D:\\absent\\deeper"), 0);
    EXPECT_EQ(ReadFileBytes(Disk("file.dat")), "data");
    EXPECT_EQ(ReadFileBytes(Disk("db/x.dat")), "x");
    EXPECT_EQ(EmptyDirectory("D:\\absent"), 0);
    EXPECT_EQ(EmptyDirectory("D:\\file.dat"), 0);
    EXPECT_EQ(ReadFileBytes(Disk("file.dat")), "data");
}

TEST_F(DirectoryTree, LinksInsideAreRemovedAsLinksAndNeverFollowed) {
    MakeFile("outside/folder/precious.dat", "p");
    MakeFile("outside/file.dat", "f");
    MakeReadOnly("outside/file.dat");
    MakeFile("db/inner/x.dat", "x");
    MakeLink(Disk("outside/folder"), "db/folder-link");
    MakeLink(Disk("outside/file.dat"), "db/inner/file-link");
    MakeLink(Disk("outside"), "db/inner/deeper/outside-link");

    EXPECT_EQ(RemoveDirectoryTree("D:\\db"), 0);
    EXPECT_FALSE(Exists("db"));
    EXPECT_EQ(ReadFileBytes(Disk("outside/folder/precious.dat")), "p");
    EXPECT_EQ(ReadFileBytes(Disk("outside/file.dat")), "f");
    EXPECT_TRUE(IsReadOnly("outside/file.dat"));
}

TEST_F(DirectoryTree, LinkThatCannotBeRemovedStaysAndItsTargetIsUntouched) {
    // As under Wine, where RemoveDirectoryA fails on a link to a folder.
    MakeFile("outside/precious.dat", "p");
    MakeFile("outside/sub/more.dat", "m");
    MakeFile("db/a/x.dat", "x");
    MakeLink(Disk("outside"), "db/a/stuck-link");
    ASSERT_TRUE(
        emulated::FailRemovalOf("D:\\db\\a\\stuck-link", emulated::FaultKind::AccessDenied));
    EXPECT_EQ(RemoveDirectoryTree("D:\\db"), 0);
    EXPECT_TRUE(Exists("db/a/stuck-link"));
    EXPECT_FALSE(Exists("db/a/x.dat"));
    EXPECT_EQ(ReadFileBytes(Disk("outside/precious.dat")), "p");
    EXPECT_EQ(ReadFileBytes(Disk("outside/sub/more.dat")), "m");
}

TEST_F(DirectoryTree, LinkNamedAsTheFolderIsNeverWalked) {
    MakeFile("outside/precious.dat", "p");
    MakeFile("outside/sub/more.dat", "m");
    MakeLink(Disk("outside"), "db");
    EXPECT_EQ(RemoveDirectoryTree("D:\\db"), 0);
    EXPECT_FALSE(Exists("db")); // the link went, as Windows removes one
    EXPECT_EQ(ReadFileBytes(Disk("outside/precious.dat")), "p");
    EXPECT_EQ(ReadFileBytes(Disk("outside/sub/more.dat")), "m");

    // Where the link cannot go, nothing behind it is touched either.
    MakeLink(Disk("outside"), "db");
    ASSERT_TRUE(emulated::FailRemovalOf("D:\\db", emulated::FaultKind::AccessDenied));
    TraceRecorder trace;
    EXPECT_EQ(RemoveDirectoryTree("D:\\db"), 0);
    EXPECT_TRUE(Exists("db"));
    EXPECT_EQ(ReadFileBytes(Disk("outside/precious.dat")), "p");
    EXPECT_EQ(trace.Count("\\\\*.*"), 0) << trace.Text(); // no listing of its entries
}

TEST_F(DirectoryTree, FolderBelowALinkIsTheOneThePathNames) {
    // As Windows resolves the path: the folder the link leads to goes, and
    // nothing beside it.
    MakeFile("outside/data/a.dat", "a");
    MakeFile("outside/data/sub/b.dat", "b");
    MakeFile("outside/beside.dat", "k");
    MakeLink(Disk("outside"), "via");
    EXPECT_EQ(RemoveDirectoryTree("D:\\via\\data"), 0);
    EXPECT_FALSE(Exists("outside/data"));
    EXPECT_EQ(ReadFileBytes(Disk("outside/beside.dat")), "k");
    EXPECT_TRUE(PathExists(Disk("via/beside.dat")));
}

TEST_F(DirectoryTree, LinksAreLeftWhereThePlatformFollowsThem) {
    // Wine opens a symbolic link's target, its handle says "folder", and
    // RemoveDirectoryW on the link removes the folder it leads to when that
    // is empty. The listing still says link: such a link is neither walked
    // nor removed, whether it is the folder named or an entry below it.
    emulated::FollowLinksAsWineDoes(true);
    MakeFile("outside/precious.dat", "p");
    MakeFile("outside/sub/more.dat", "m");
    MakeFolder("empty-outside");
    MakeLink(Disk("outside"), "db");
    MakeLink(Disk("empty-outside"), "named-empty");
    MakeFile("tree/a/one.dat", "1");
    MakeLink(Disk("outside"), "tree/a/outside-link");
    MakeLink(Disk("empty-outside"), "tree/a/empty-link");
    EXPECT_EQ(RemoveDirectoryTree("D:\\db"), 0);
    EXPECT_EQ(RemoveDirectoryTree("D:\\named-empty"), 0);
    EXPECT_EQ(RemoveDirectoryTree("D:\\tree"), 0);
    EXPECT_EQ(ReadFileBytes(Disk("outside/precious.dat")), "p");
    EXPECT_EQ(ReadFileBytes(Disk("outside/sub/more.dat")), "m");
    EXPECT_TRUE(Exists("empty-outside"));
    EXPECT_TRUE(Exists("db/precious.dat"));
    EXPECT_TRUE(Exists("tree/a/empty-link"));
    EXPECT_FALSE(Exists("tree/a/one.dat"));
    EXPECT_EQ(emulated::OpenSearchCount(), 0);
    EXPECT_EQ(emulated::OpenFileCount(), 0);
}

TEST_F(DirectoryTree, FolderSwappedForALinkDuringTheWalkLeadsNowhere) {
    // A racer moves the sub-folder "a" away and puts a link to an outside
    // folder in its place: once the walk has listed "a" and found it not
    // empty, and once more just after the walk has opened it.
    for (const char* moment :
         {R"(RemoveDirectoryW("\\\\?\\D:\\db\\a"))", R"(CreateFileW("\\\\?\\D:\\db\\a")"}) {
        MakeFile("outside/precious.dat", "p");
        MakeFile("outside/sub/more.dat", "m");
        MakeFile("db/a/one.dat", "1");
        MakeFile("db/a/deeper/two.dat", "2");
        MakeFile("db/b/three.dat", "3");
        MakeFile("db/top.dat", "t");
        TraceRecorder trace;
        trace.When(moment, [this] {
            ASSERT_EQ(::rename(Disk("db/a").c_str(), Disk("parked").c_str()), 0);
            ASSERT_EQ(::symlink(Disk("outside").c_str(), Disk("db/a").c_str()), 0);
        });
        EXPECT_EQ(RemoveDirectoryTree("D:\\db"), 0);
        EXPECT_TRUE(Exists("parked")) << moment << "\n" << trace.Text();
        EXPECT_EQ(ReadFileBytes(Disk("outside/precious.dat")), "p") << moment;
        EXPECT_EQ(ReadFileBytes(Disk("outside/sub/more.dat")), "m") << moment;
        EXPECT_FALSE(Exists("db")) << moment; // the link went as a link
        EXPECT_EQ(emulated::OpenSearchCount(), 0);
        EXPECT_EQ(emulated::OpenFileCount(), 0);
        RunCommand("rm -rf " + ShellQuoted(Disk("parked")) + " " + ShellQuoted(Disk("outside")));
    }
}

TEST_F(DirectoryTree, NamesInEveryScriptGoUnderEitherCodePage) {
    // Names on disk are UTF-8; neither code page carries all of them, so the
    // ANSI view of most is a row of '?'. The folder itself is named in the
    // ANSI code page: "データ" is 0x83 0x66 0x81 0x5B 0x83 0x5E in 932, and
    // 65001 names it in UTF-8 as it stands on disk.
    const std::pair<UINT, std::string> folders[] = {{1252, "Datenbank \xE9t\xE9"},
                                                    {932, "\x83\x66\x81\x5B\x83\x5E"},
                                                    {65001, "Datenbank \xC3\xA9t\xC3\xA9"}};
    const std::pair<UINT, std::string> onDisk[] = {{1252, "Datenbank \xC3\xA9t\xC3\xA9"},
                                                   {932, "\xE3\x83\x87\xE3\x83\xBC\xE3\x82\xBF"},
                                                   {65001, "Datenbank \xC3\xA9t\xC3\xA9"}};
    for (int i = 0; i < 3; ++i) {
        emulated::SetCodePage(folders[i].first);
        LoadLeadByteTableFor(folders[i].first);
        const std::string db = onDisk[i].second;
        MakeFile(db + "/日本語.txt", "ja");
        MakeFile(db + "/Łódź/Żółw.txt", "pl");
        MakeFile(db + "/한국어/파일.dat", "ko");
        MakeFile(db + "/Ελληνικά/ΑΒΓ.txt", "el");
        MakeFile(db + "/😀.dat", "emoji");
        MakeReadOnly(db + "/😀.dat");
        MakeFile("keep/日本語.txt", "keep");

        EXPECT_EQ(RemoveDirectoryTree(("D:\\" + folders[i].second).c_str()), 0);
        EXPECT_FALSE(Exists(db)) << "code page " << folders[i].first;
        EXPECT_EQ(ReadFileBytes(Disk("keep/日本語.txt")), "keep");
    }
    LoadLeadByteTableFor(1252);
}

TEST_F(DirectoryTree, DeviceNamesAndPathsBeyondMaxPathGo) {
    std::string deep = "db/deep";
    std::size_t windowsLength = std::string("D:\\db\\deep").size();
    while (windowsLength < 400) {
        deep += "/folder-of-a-long-chain";
        windowsLength += std::string("\\folder-of-a-long-chain").size();
    }
    MakeFile(deep + "/far.dat", "far");
    for (const char* device : {"con", "NUL.txt", "aux.", "com1", "lpt9.log", "prn"}) {
        MakeFile(std::string("db/") + device, "device");
    }
    MakeFile("db/com1.d/AUX/nul", "nested");
    MakeFile("outside/con", "keep");

    EXPECT_EQ(RemoveDirectoryTree("D:\\db"), 0);
    EXPECT_FALSE(Exists("db"));
    EXPECT_EQ(ReadFileBytes(Disk("outside/con")), "keep");
    EXPECT_EQ(emulated::OpenSearchCount(), 0);
}

TEST_F(DirectoryTree, ChainDeeperThanAThreadStackGoesOnA1MBThread) {
    // 2,000 nested folders, made one level at a time relative to the last, so
    // that no Linux path gets too long; a walk that took stack for each level
    // would overflow an installer thread's 1 MB long before the end.
    const int levels = 2000;
    MakeFolder("chain");
    int fd = ::open(Disk("chain").c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    for (int level = 0; level < levels; ++level) {
        ASSERT_EQ(::mkdirat(fd, "f", 0755), 0) << level;
        int inner = ::openat(fd, "f", O_RDONLY | O_DIRECTORY);
        ::close(fd);
        ASSERT_GE(inner, 0) << level;
        fd = inner;
    }
    ::close(::openat(fd, "last.dat", O_WRONLY | O_CREAT, 0644));
    ::close(fd);

    struct Removal {
        int16_t result = -1;
    } removal;
    pthread_attr_t attributes;
    ASSERT_EQ(::pthread_attr_init(&attributes), 0);
    ASSERT_EQ(::pthread_attr_setstacksize(&attributes, 1u << 20), 0);
    pthread_t thread;
    ASSERT_EQ(::pthread_create(
                  &thread, &attributes,
                  [](void* context) -> void* {
                      static_cast<Removal*>(context)->result = RemoveDirectoryTree("D:\\chain");
                      return nullptr;
                  },
                  &removal),
              0);
    ::pthread_join(thread, nullptr);
    ::pthread_attr_destroy(&attributes);
    EXPECT_EQ(removal.result, 0);
    EXPECT_FALSE(Exists("chain"));
    EXPECT_EQ(emulated::OpenSearchCount(), 0);
    EXPECT_EQ(emulated::OpenFileCount(), 0);
}

TEST_F(DirectoryTree, ErrorInTheTopWalkAnswersOneWithoutASecondAttempt) {
    MakeFile("db/a.dat", "a");
    MakeFile("db/b.dat", "b");
    // Memory runs out for the path of the entry after the first one deleted.
    TraceRecorder trace;
    trace.When("DeleteFileW(", [] { FailTextAllocation(1); });
    EXPECT_EQ(RemoveDirectoryTree("D:\\db"), 1);
    EXPECT_NE(Exists("db/a.dat"), Exists("db/b.dat")) << "the walk stopped after one file";
    EXPECT_EQ(trace.Count(R"(RemoveDirectoryW("\\\\?\\D:\\db"))"), 1) << trace.Text();
    // The two looks at the folder itself (before its removal and once it is
    // held) and the walk's listing were all ended.
    EXPECT_EQ(trace.Count("FindClose("), 3) << trace.Text();
    EXPECT_EQ(emulated::OpenSearchCount(), 0);
}

TEST_F(DirectoryTree, ErrorInASubFolderDoesNotStopTheLevelAbove) {
    MakeFile("db/sub/inner.dat", "i");
    MakeFile("db/sub/other.dat", "o");
    MakeFile("db/after.dat", "z");
    MakeFile("db/before.dat", "a");
    MakeFile("db/sibling/x.dat", "x");
    // Memory runs out as soon as the sub-folder's listing has begun.
    TraceRecorder trace;
    trace.When(R"(FindFirstFileW("\\\\?\\D:\\db\\sub\\*.*"))", [] { FailTextAllocation(1); });
    EXPECT_EQ(RemoveDirectoryTree("D:\\db"), 0);
    EXPECT_TRUE(Exists("db/sub/inner.dat"));
    EXPECT_TRUE(Exists("db/sub/other.dat"));
    EXPECT_FALSE(Exists("db/after.dat"));
    EXPECT_FALSE(Exists("db/before.dat"));
    EXPECT_FALSE(Exists("db/sibling"));
    EXPECT_EQ(emulated::OpenSearchCount(), 0);
}

} // namespace
