// RemoveDirectoryTree and EmptyDirectory on the emulated platform: trees on
// the real disk under a scratch drive folder, and what is left of them.
#include "DirectoryTree.h"
#include "DirectoryTreeSupport.h"
#include "EmulatedControl.h"
#include "TextMemory.h"

#include <gtest/gtest.h>

namespace {

class DirectoryTree : public ScratchDrive {};

TEST_F(DirectoryTree, EmptyFolderGoesAtTheFirstAttempt) {
    MakeFolder("db");
    TraceRecorder trace;
    EXPECT_EQ(RemoveDirectoryTree("D:\\db"), 0);
    EXPECT_FALSE(Exists("db"));
    EXPECT_EQ(trace.Count("RemoveDirectoryA("), 1) << trace.Text();
    EXPECT_EQ(trace.Count("FindFirstFileA("), 0) << trace.Text();
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
    std::size_t cleared = trace.find("SetFileAttributesA(\"D:\\\\db\\\\.marked\", 0x22)");
    std::size_t deleted = trace.find("DeleteFileA(\"D:\\\\db\\\\.marked\")");
    ASSERT_NE(cleared, std::string::npos) << trace;
    ASSERT_NE(deleted, std::string::npos) << trace;
    EXPECT_LT(cleared, deleted);
    EXPECT_FALSE(Exists("db"));
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
    EXPECT_EQ(trace.Count("DeleteFileA(\"D:\\\\db\\\\a\\\\held.dat\")"), 1) << trace.Text();
    EXPECT_EQ(trace.Count("RemoveDirectoryA(\"D:\\\\db\\\\a\")"), 2) << trace.Text();
    EXPECT_EQ(trace.Count("RemoveDirectoryA(\"D:\\\\db\")"), 2) << trace.Text();
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
    EXPECT_EQ(trace.Count("FindFirstFileA("), 0) << trace.Text();
}

TEST_F(DirectoryTree, EntriesBeyondThePathLimitStayAndTheRestGoes) {
    std::string deep = "db/reach";
    std::string windows = "D:\\db\\reach";
    while (windows.size() < 300) {
        deep += "/folder-of-a-long-chain";
        windows += "\\folder-of-a-long-chain";
    }
    MakeFile(deep + "/unreachable.dat", "u");
    MakeFile("db/near/x.dat", "x");
    EXPECT_EQ(RemoveDirectoryTree("D:\\db"), 0);
    EXPECT_TRUE(Exists(deep + "/unreachable.dat"));
    EXPECT_FALSE(Exists("db/near"));
    EXPECT_EQ(emulated::OpenSearchCount(), 0);
}

TEST_F(DirectoryTree, ErrorInTheTopWalkAnswersOneWithoutASecondAttempt) {
    MakeFile("db/a.dat", "a");
    MakeFile("db/b.dat", "b");
    // Memory runs out for the path of the entry after the first one deleted.
    TraceRecorder trace;
    trace.When("DeleteFileA(", [] { FailTextAllocation(1); });
    EXPECT_EQ(RemoveDirectoryTree("D:\\db"), 1);
    EXPECT_NE(Exists("db/a.dat"), Exists("db/b.dat")) << "the walk stopped after one file";
    EXPECT_EQ(trace.Count("RemoveDirectoryA(\"D:\\\\db\")"), 1) << trace.Text();
    EXPECT_EQ(trace.Count("FindClose("), 1) << trace.Text(); // the listing was ended all the same
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
    trace.When("FindFirstFileA(\"D:\\\\db\\\\sub\\\\*.*\")", [] { FailTextAllocation(1); });
    EXPECT_EQ(RemoveDirectoryTree("D:\\db"), 0);
    EXPECT_TRUE(Exists("db/sub/inner.dat"));
    EXPECT_TRUE(Exists("db/sub/other.dat"));
    EXPECT_FALSE(Exists("db/after.dat"));
    EXPECT_FALSE(Exists("db/before.dat"));
    EXPECT_FALSE(Exists("db/sibling"));
    EXPECT_EQ(emulated::OpenSearchCount(), 0);
}

} // namespace
