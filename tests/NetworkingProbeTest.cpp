// IsWs2 against the emulated sockets library: the five outcomes, and what is
// left loaded and started after each.
#include "Control.h"
#include "Hooks.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class NetworkingProbe : public ::testing::Test {
  protected:
    void SetUp() override { emulated::ResetPlatform(); }
    void TearDown() override { emulated::ResetPlatform(); }
};

TEST_F(NetworkingProbe, VersionTwoStartsAndStaysStarted) {
    EXPECT_EQ(IsWs2(nullptr, 0, nullptr), 1);
    EXPECT_EQ(emulated::LoadedLibraryCount(), 1);
    EXPECT_EQ(emulated::SocketsStartupCount(), 1);
}

TEST_F(NetworkingProbe, MissingLibraryAnswersZero) {
    emulated::SetSocketsBehaviour(emulated::SocketsBehaviour::NoLibrary);
    EXPECT_EQ(IsWs2(nullptr, 0, nullptr), 0);
    EXPECT_EQ(emulated::LoadedLibraryCount(), 0);
}

TEST_F(NetworkingProbe, MissingExportAnswersZeroAndFreesTheLibrary) {
    emulated::SetSocketsBehaviour(emulated::SocketsBehaviour::NoExport);
    EXPECT_EQ(IsWs2(nullptr, 0, nullptr), 0);
    EXPECT_EQ(emulated::LoadedLibraryCount(), 0);
}

TEST_F(NetworkingProbe, FailingStartupAnswersZeroAndFreesTheLibrary) {
    emulated::SetSocketsBehaviour(emulated::SocketsBehaviour::StartupFails);
    EXPECT_EQ(IsWs2(nullptr, 0, nullptr), 0);
    EXPECT_EQ(emulated::LoadedLibraryCount(), 0);
    EXPECT_EQ(emulated::SocketsStartupCount(), 0);
}

TEST_F(NetworkingProbe, OtherVersionWordsAnswerZeroAndUndoTheStartup) {
    for (WORD version : {0x0101, 0x0202, 0x0001, 0x0102, 0x0200}) {
        emulated::ResetPlatform();
        emulated::SetSocketsBehaviour(emulated::SocketsBehaviour::OtherVersion, version);
        EXPECT_EQ(IsWs2(nullptr, 0, nullptr), 0) << "version word " << version;
        EXPECT_EQ(emulated::LoadedLibraryCount(), 0);
        EXPECT_EQ(emulated::SocketsStartupCount(), 0);
    }
    emulated::ResetPlatform();
    emulated::SetSocketsBehaviour(emulated::SocketsBehaviour::OtherVersion, 0x0002);
    EXPECT_EQ(IsWs2(nullptr, 0, nullptr), 1);
}

// The library comes from the folder the system names, by its full path; a
// path that would not fit is no reason to load anything.
TEST_F(NetworkingProbe, LoadsTheCopyInTheSystemFolderOnly) {
    std::string longest = "D:\\" + std::string(245, 's');
    emulated::SetSystemFolder(longest);
    EXPECT_EQ(IsWs2(nullptr, 0, nullptr), 1) << "a folder of " << longest.size() << " bytes";
    for (size_t size : {longest.size() + 1, size_t(MAX_PATH), size_t(300)}) {
        emulated::ResetPlatform();
        emulated::SetSystemFolder("D:\\" + std::string(size - 3, 's'));
        long before = emulated::OperationCount();
        EXPECT_EQ(IsWs2(nullptr, 0, nullptr), 0) << "a folder of " << size << " bytes";
        EXPECT_EQ(emulated::OperationCount() - before, 1) << "only the folder is asked for";
        EXPECT_EQ(emulated::LoadedLibraryCount(), 0);
    }
}

TEST_F(NetworkingProbe, IgnoresItsArguments) {
    char text[] = "ignored";
    EXPECT_EQ(IsWs2(reinterpret_cast<HWND>(0x1234), -1, text), 1);
    EXPECT_STREQ(text, "ignored");
}

} // namespace
