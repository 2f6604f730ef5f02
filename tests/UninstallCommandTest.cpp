// SetUninstallInfo and GetVKTFolder on the emulated registry.
#include "Control.h"
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

TEST_F(SetUninstallInfoCommand, ASecondCallChangesNothing) {
    StoreCommand(hostCommand);
    SetUninstallInfo(nullptr, 0, nullptr);
    EXPECT_EQ(SetUninstallInfo(nullptr, 0, nullptr), 1);
    EXPECT_EQ(StoredBytes(), hostCommand + moduleOption + '\0');
    EXPECT_EQ(Folder(), "C:\\Program Files\\Corvanet");
}

TEST_F(SetUninstallInfoCommand, ACommandWithoutAnOptionIsLeftAsItIs) {
    EXPECT_EQ(SetUninstallInfo(nullptr, 0, nullptr), 1);
    DWORD type = 0;
    std::string bytes;
    EXPECT_FALSE(emulated::ReadRegistryValue(HKEY_LOCAL_MACHINE, uninstallKey, "UninstallString",
                                             type, bytes));
    // A hyphen with no quote after its letter, or not at the start of a
    // word, opens no option.
    for (const char* command : {"uninst -fremove.log", "C:\\Set-up\\uninst.exe x-f\"C:\\a\"",
                                "\"C:\\x -f\"\\uninst.exe\"", "uninst -1\"C:\\a\\b\""}) {
        StoreCommand(command);
        SetUninstallInfo(nullptr, 0, nullptr);
        EXPECT_EQ(StoredBytes(), std::string(command) + '\0');
        EXPECT_EQ(Folder(), "") << command;
    }
}

// The cuts happen at options only: hyphens in the uninstaller's path, in the
// product's folder, or in both, are part of the names.
TEST_F(SetUninstallInfoCommand, HyphensInsideNamesAreNotOptions) {
    const std::string program = "D:\\Lumeno-Pro\\Program\\";
    for (const std::string uninstaller :
         {"C:\\Set-up\\uninst.exe", "\"C:\\Set-up -x\\uninst.exe\"", "C:\\WINDOWS\\uninst.exe"}) {
        StoreCommand(uninstaller + " -f\"" + program + "remove.log\"");
        EXPECT_EQ(Folder(), "D:\\Lumeno-Pro") << uninstaller;
        SetUninstallInfo(nullptr, 0, nullptr);
        EXPECT_EQ(StoredBytes(), uninstaller + " -f\"" + program + "remove.log\" -c\"" + program +
                                     "Gantrel.dll\"" + '\0');
        EXPECT_EQ(Folder(), "D:\\Lumeno-Pro") << uninstaller;
    }
}

TEST_F(SetUninstallInfoCommand, TheModuleGoesBesideTheFirstOptionsFile) {
    // The host's file has no folder: nor has the module.
    StoreCommand("uninst.exe -f\"remove.log\"");
    SetUninstallInfo(nullptr, 0, nullptr);
    EXPECT_EQ(StoredBytes(), std::string("uninst.exe -f\"remove.log\" -c\"Gantrel.dll\"") + '\0');
    EXPECT_EQ(Folder(), "");
    // An option at the very start, and one whose path runs to the end of the
    // command: its quote is closed before the module's option follows. The
    // last option's path is the one GetVKTFolder cuts.
    StoreCommand("-f\"D:\\a\\b\\x.log\" -l\"E:\\c\\d\\e\\y.txt");
    EXPECT_EQ(Folder(), "E:\\c\\d");
    SetUninstallInfo(nullptr, 0, nullptr);
    SetUninstallInfo(nullptr, 0, nullptr);
    EXPECT_EQ(StoredBytes(), std::string("-f\"D:\\a\\b\\x.log\" -l\"E:\\c\\d\\e\\y.txt\" "
                                         "-c\"D:\\a\\b\\Gantrel.dll\"") +
                                 '\0');
    EXPECT_EQ(Folder(), "D:\\a");
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

TEST_F(GetVKTFolderCommand, TheLastOptionIsTheOneCut) {
    StoreCommand(hostCommand + " -c\"C:\\Corvanet-Apps\\VKT\\Gantrel.dll\"");
    EXPECT_EQ(Folder(), "C:\\Corvanet-Apps");
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

    // Under code page 932 a lead byte takes the space after it into its
    // character, and the hyphen that follows starts no option.
    std::string joined = "u.exe\x81 -f\"C:\\a\\b\\x.log\"";
    StoreCommand(joined);
    EXPECT_EQ(Folder(), "C:\\a");
    LoadLeadByteTableFor(932);
    EXPECT_EQ(Folder(), "");
    SetUninstallInfo(nullptr, 0, nullptr);
    EXPECT_EQ(StoredBytes(), joined + '\0');
    // A command ending in half a character would take the option's first
    // byte into it: it stays as it is.
    std::string half = "u.exe -f\"C:\\a\\b\\x.log\" \x81";
    StoreCommand(half);
    SetUninstallInfo(nullptr, 0, nullptr);
    EXPECT_EQ(StoredBytes(), half + '\0');
}

} // namespace
