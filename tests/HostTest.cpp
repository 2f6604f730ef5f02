// gantrel-host on Linux: resolving entry points by name and ordinal, and its
// errors.
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

class HostStandIn : public ::testing::Test {
  protected:
    void SetUp() override { folder = MakeScratchFolder(); }
    void TearDown() override { RemoveScratchFolder(folder); }

    CommandResult Host(const std::string& arguments) {
        return RunCommand("env -u GANTREL_REGISTRY -u GANTREL_DRIVES XDG_DATA_HOME=" +
                          ShellQuoted(folder) + " " + ShellQuoted(GANTREL_HOST) + " " + arguments);
    }

    std::string folder;
};

TEST_F(HostStandIn, CallsByNameAndByOrdinal) {
    CommandResult byName = Host("IsWs2");
    EXPECT_EQ(byName.status, 0) << byName.output;
    EXPECT_EQ(byName.output, "IsWs2 = 1\n");
    const char* names[] = {
        "IsWs2",        "UninstInitialize", "UninstUnInitialize", "SetUninstallInfo",
        "GetVKTFolder", "CleanupDatabase",  "SetupServer"};
    for (int ordinal = 1; ordinal <= 7; ++ordinal) {
        CommandResult byOrdinal = Host("'#" + std::to_string(ordinal) + "'");
        EXPECT_EQ(byOrdinal.status, 0) << byOrdinal.output;
        EXPECT_EQ(byOrdinal.output.rfind(std::string(names[ordinal - 1]) + " = ", 0), 0u)
            << byOrdinal.output;
    }
}

TEST_F(HostStandIn, SurvivesNullAndZeroArguments) {
    for (const char* entry : {"IsWs2", "UninstUnInitialize", "SetUninstallInfo", "CleanupDatabase",
                              "SetupServer", "GetVKTFolder"}) {
        CommandResult call = Host(std::string("--null-text ") + entry + " 0 0");
        EXPECT_EQ(call.status, 0) << entry << ": " << call.output;
    }
}

TEST_F(HostStandIn, ReportsWhatCannotBeFound) {
    CommandResult noModule = Host("--module " + ShellQuoted(folder + "/missing.so") + " IsWs2");
    EXPECT_EQ(noModule.status, 3);
    EXPECT_NE(noModule.output.find("cannot load the module"), std::string::npos);

    CommandResult noEntry = Host("NoSuchEntry");
    EXPECT_EQ(noEntry.status, 4);
    EXPECT_NE(noEntry.output.find("no entry point NoSuchEntry"), std::string::npos);

    CommandResult noOrdinal = Host("'#8'");
    EXPECT_EQ(noOrdinal.status, 4);

    CommandResult badOrdinal = Host("'#x'");
    EXPECT_EQ(badOrdinal.status, 2);

    CommandResult nothing = Host("");
    EXPECT_EQ(nothing.status, 2);
    EXPECT_NE(nothing.output.find("--help"), std::string::npos);

    CommandResult badOption = Host("--frobnicate IsWs2");
    EXPECT_EQ(badOption.status, 2);

    CommandResult badWindow = Host("IsWs2 window 0");
    EXPECT_EQ(badWindow.status, 2);
}

TEST_F(HostStandIn, TraceShowsEveryPlatformOperationOfTheCall) {
    CommandResult traced = Host("--trace IsWs2");
    EXPECT_EQ(traced.status, 0) << traced.output;
    EXPECT_NE(traced.output.find(
                  "LoadLibraryExA(\"C:\\\\WINDOWS\\\\system32\\\\ws2_32.dll\", 0x8) = module"),
              std::string::npos)
        << traced.output;
    EXPECT_NE(traced.output.find("GetProcAddress(\"WSAStartup\") = address"), std::string::npos);
    EXPECT_NE(traced.output.find("WSAStartup(0x2) = 0"), std::string::npos);
    EXPECT_NE(traced.output.find("IsWs2 = 1"), std::string::npos);

    RunCommand("mkdir -p " + ShellQuoted(folder + "/c"));
    WriteFileBytes(folder + "/c/settings.ini", "Port=8080\n");
    traced = Host("--trace --drives " + ShellQuoted(folder) + " --registry " +
                  ShellQuoted(folder + "/registry.reg") + " SetupServer 0 0 'C:\\settings.ini'");
    EXPECT_EQ(traced.status, 0) << traced.output;
    EXPECT_NE(traced.output.find("RegSetValueExA("), std::string::npos) << traced.output;
    EXPECT_NE(traced.output.find("\"Port\", type 4, 4 bytes) = 0"), std::string::npos);

    CommandResult quiet = Host("IsWs2");
    EXPECT_EQ(quiet.output.find("LoadLibraryExA"), std::string::npos) << quiet.output;
}

TEST_F(HostStandIn, HelpExplainsTheCommandLine) {
    CommandResult help = Host("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("ENTRY [WINDOW VALUE TEXT]"), std::string::npos);
    EXPECT_NE(help.output.find("--module PATH"), std::string::npos);
}

} // namespace
