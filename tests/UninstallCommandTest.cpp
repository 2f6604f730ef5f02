// SetUninstallInfo and GetVKTFolder on the emulated registry.
#include "EmulatedControl.h"
#include "Hooks.h"
#include "LeadBytes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const char uninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Corvanet VKT";
const std::string hostCommand =
    "C:\\WINDOWS\\uninst.exe -f\"C:\\Program Files\\Corvanet\\VKT\\remove.log\"";
const std::string moduleOption = " -c\"C:\\Program Files\\Corvanet\\VKT\\Gantrel.dll\"";

class UninstallCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        emulated::ResetPlatform();
        LoadLeadByteTableFor(1252);
    }
    void TearDown() override {
        EXPECT_EQ(emulated::OpenRegistryKeyCount(), 0);
        emulated::ResetPlatform();
        LoadLeadByteTableFor(1252);
    }

    static void StoreCommand(const std::string& command) {
        emulated::SeedRegistryValue(HKEY_LOCAL_MACHINE, uninstallKey, "UninstallString", REG_SZ,
                                    command + '\0');
    }
    // The stored value's bytes, its terminator included.
    static std::string StoredBytes() {
        DWORD type = 0;
        std::string bytes;
        EXPECT_TRUE(emulated::ReadRegistryValue(HKEY_LOCAL_MACHINE, uninstallKey, "UninstallString",
                                                type, bytes));
        EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
        return bytes;
    }
    // What GetVKTFolder writes into a host's 1000-byte buffer (checked to
    // end inside it); the bytes after the text keep their sentinel.
    static std::string Folder() {
        char buffer[1000];
        std::memset(buffer, 0xBD, sizeof buffer);
        EXPECT_EQ(GetVKTFolder(nullptr, 0, buffer), 1);
        const void* end = std::memchr(buffer, 0, sizeof buffer);
        EXPECT_NE(end, nullptr);
        if (end == nullptr) {
            return "<no terminator>";
        }
        std::size_t length = static_cast<const char*>(end) - buffer;
        if (length + 1 < sizeof buffer) {
            EXPECT_EQ(static_cast<unsigned char>(buffer[length + 1]), 0xBD);
        }
        return std::string(buffer, length);
    }
};

using SetUninstallInfoCommand = UninstallCommandTest;
using GetVKTFolderCommand = UninstallCommandTest;

TEST_F(SetUninstallInfoCommand, AppendsTheModuleBesideTheHostsFile) {
    StoreCommand(hostCommand);
    EXPECT_EQ(SetUninstallInfo(nullptr, 0, nullptr), 1);
    EXPECT_EQ(StoredBytes(), hostCommand + moduleOption + '\0');
}

TEST_F(SetUninstallInfoCommand, ASecondCallAppendsAgainFromTheFirstHyphen) {
    StoreCommand(hostCommand);
    SetUninstallInfo(nullptr, 0, nullptr);
    SetUninstallInfo(nullptr, 0, nullptr);
    EXPECT_EQ(StoredBytes(), hostCommand + moduleOption +
                                 " -c\"C:\\Program Files\\Corvanet\\VKT\\remove.log\" "
                                 "-c\"C:\\Program Files\\Corvanet\\VKT\\Gantrel.dll\"" +
                                 '\0');
}

TEST_F(SetUninstallInfoCommand, AMissingCommandGetsTheBareOption) {
    EXPECT_EQ(SetUninstallInfo(nullptr, 0, nullptr), 1);
    EXPECT_EQ(StoredBytes(), std::string(" -cGantrel.dll\"") + '\0');
}

TEST_F(SetUninstallInfoCommand, HyphensAndBackslashesWhereTheyStand) {
    StoreCommand("C:\\my-tools\\uninst.exe -f\"C:\\App\\remove.log\"");
    SetUninstallInfo(nullptr, 0, nullptr);
    // The first hyphen is in the uninstaller's own path.
    EXPECT_EQ(StoredBytes(), "C:\\my-tools\\uninst.exe -f\"C:\\App\\remove.log\" -cools\\"
                             "uninst.exe -f\"C:\\App\\Gantrel.dll\"" +
                                 std::string(1, '\0'));
    StoreCommand("uninst -fremove.log");
    SetUninstallInfo(nullptr, 0, nullptr);
    EXPECT_EQ(StoredBytes(), std::string("uninst -fremove.log -cGantrel.dll\"") + '\0');
}

TEST_F(SetUninstallInfoCommand, ACommandItCannotReadIsLeftAsTheHostWroteIt) {
    std::string tooLong = std::string(1200, 'x') + '\0';
    emulated::SeedRegistryValue(HKEY_LOCAL_MACHINE, uninstallKey, "UninstallString", REG_SZ,
                                tooLong);
    EXPECT_EQ(SetUninstallInfo(nullptr, 0, nullptr), 1);
    EXPECT_EQ(StoredBytes(), tooLong);

    std::string expandable =
        "%SystemRoot%\\uninst.exe -f\"C:\\App\\remove.log\"" + std::string(1, '\0');
    emulated::SeedRegistryValue(HKEY_LOCAL_MACHINE, uninstallKey, "UninstallString", REG_EXPAND_SZ,
                                expandable);
    EXPECT_EQ(SetUninstallInfo(nullptr, 0, nullptr), 1);
    DWORD type = 0;
    std::string bytes;
    EXPECT_TRUE(emulated::ReadRegistryValue(HKEY_LOCAL_MACHINE, uninstallKey, "UninstallString",
                                            type, bytes));
    EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(bytes, expandable);
}

TEST_F(GetVKTFolderCommand, TheSameFolderBeforeAndAfterTheOption) {
    StoreCommand(hostCommand);
    EXPECT_EQ(Folder(), "C:\\Program Files\\Corvanet");
    SetUninstallInfo(nullptr, 0, nullptr);
    EXPECT_EQ(Folder(), "C:\\Program Files\\Corvanet");
}

TEST_F(GetVKTFolderCommand, EmptyWhereThereIsNothingToCut) {
    EXPECT_EQ(Folder(), "");
    StoreCommand("uninst.exe -fremove.log");
    EXPECT_EQ(Folder(), "");
    StoreCommand(std::string(1001, 'y'));
    EXPECT_EQ(Folder(), "");
}

TEST_F(GetVKTFolderCommand, TheLastHyphenIsTheOneCut) {
    StoreCommand(hostCommand + " -c\"C:\\Corvanet-Apps\\VKT\\Gantrel.dll\"");
    // The hyphen inside the folder is the last one: the cut starts after it.
    EXPECT_EQ(Folder(), "ps");
}

TEST_F(GetVKTFolderCommand, AStoredTextWithoutTerminatorStillEndsInTheBuffer) {
    // 1000 bytes, the buffer's whole capacity, with no zero among them.
    std::string unterminated = "u -c\"C:\\" + std::string(985, 'a') + "\\b\\G.dll";
    unterminated.resize(1000);
    emulated::SeedRegistryValue(HKEY_LOCAL_MACHINE, uninstallKey, "UninstallString", REG_SZ,
                                unterminated);
    std::string folder = Folder();
    EXPECT_EQ(folder, "C:\\" + std::string(985, 'a'));
}

TEST_F(GetVKTFolderCommand, ANullBufferIsLeftAlone) {
    StoreCommand(hostCommand);
    EXPECT_EQ(GetVKTFolder(nullptr, 0, nullptr), 1);
}

TEST_F(GetVKTFolderCommand, DoubleByteBackslashCodesAreNotSeparators) {
    // 0x95 0x5C is one character under code page 932: its second byte is
    // the backslash code, and no folder ends there.
    std::string folder = "C:\\\x95\x5C\\\x83\x5C";
    StoreCommand("u.exe -f\"" + folder + "\\x.log\"");
    LoadLeadByteTableFor(932);
    EXPECT_EQ(Folder(), "C:\\\x95\x5C");
    SetUninstallInfo(nullptr, 0, nullptr);
    EXPECT_EQ(StoredBytes(), "u.exe -f\"" + folder + "\\x.log\" -c\"" + folder + "\\Gantrel.dll\"" +
                                 std::string(1, '\0'));
    EXPECT_EQ(Folder(), "C:\\\x95\x5C");
    LoadLeadByteTableFor(1252);
    // Read byte by byte, the same command splits inside the characters.
    EXPECT_EQ(Folder(), "C:\\\x95\x5C\\\x83");
}

} // namespace
