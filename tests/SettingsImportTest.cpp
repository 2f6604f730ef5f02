// SetupServer on the emulated platform: what each kind of line stores under
// the application key, how the file is read as text, and what happens when
// the file or the registry fails.
#include "Control.h"
#include "Hooks.h"
#include "LeadBytes.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <dirent.h>

namespace {

const char applicationKey[] = "Software\\Corvanet\\Lumeno";

std::string Text(const std::string& text) {
    return text + '\0';
}

int OpenDescriptorCount() {
    int count = 0;
    DIR* folder = ::opendir("/proc/self/fd");
    while (folder != nullptr && ::readdir(folder) != nullptr) {
        ++count;
    }
    if (folder != nullptr) {
        ::closedir(folder);
    }
    return count;
}

class SettingsImport : public ::testing::Test {
  protected:
    void SetUp() override {
        emulated::ResetPlatform();
        emulated::UseRegistryFile("");
        folder = MakeScratchFolder();
        RunCommand("mkdir -p " + ShellQuoted(folder + "/drives/c"));
        emulated::SetDriveFolder(folder + "/drives");
    }
    void TearDown() override {
        emulated::ResetPlatform();
        LoadLeadByteTableFor(1252);
        RemoveScratchFolder(folder);
    }

    // Writes the settings file C:\settings.ini and imports it.
    LONG Import(const std::string& bytes) {
        WriteFileBytes(folder + "/drives/c/settings.ini", bytes);
        char path[] = "C:\\settings.ini";
        return SetupServer(nullptr, 0, path);
    }

    // The stored value as type and bytes, "absent" when there is none.
    std::string Stored(const std::string& name) {
        DWORD type = 0;
        std::string bytes;
        if (!emulated::ReadRegistryValue(HKEY_CURRENT_USER, applicationKey, name, type, bytes)) {
            return "absent";
        }
        return std::to_string(type) + ":" + bytes;
    }
    std::string Number(uint32_t value) { return "4:" + Dword(value); }
    std::string String(const std::string& text) { return "1:" + Text(text); }

    std::vector<std::string> Names() {
        return emulated::RegistryValueNames(HKEY_CURRENT_USER, applicationKey);
    }

    std::string folder;
};

TEST_F(SettingsImport, EveryExampleLineStoresWhatItSays) {
    struct Row {
        const char* line;
        const char* name;
        std::string stored;
    };
    const Row rows[] = {
        {"Port=8080", "Port", Number(8080)},
        {"Title=\"Main\"", "Title", String("Main")},
        {"Title=Ma\"in", "Title", String("Main")},
        {"Port=abc", "Port", Number(0)},
        {"Port=", "Port", Number(0)},
        {"Port= 42x", "Port", Number(42)},
        {"Port=-1", "Port", Number(0xFFFFFFFFu)},
        {"Name = 5", "Name ", Number(5)},
        {"A=b=c\"", "A", String("b=c")},
        {"[Main]", "", Number(0)},
    };
    for (const Row& row : rows) {
        emulated::ResetPlatform();
        emulated::SetDriveFolder(folder + "/drives");
        EXPECT_EQ(Import(std::string(row.line) + "\r\n"), 0) << row.line;
        EXPECT_EQ(Stored(row.name), row.stored) << row.line;
        EXPECT_EQ(Names(), std::vector<std::string>{row.name}) << row.line;
        EXPECT_EQ(emulated::OpenRegistryKeyCount(), 0) << row.line;
    }
}

TEST_F(SettingsImport, NumbersConvertAsAtolWithThirtyTwoBitWrapAround) {
    Import("a=4294967295\nb=2147483648\nc=+17\nd=--5\ne=-+5\nf=0x1A\ng=\t\v\f\r 7\n"
           "h=12 34\ni=-0\nj=99999999999\nk= -2147483648\n");
    EXPECT_EQ(Stored("a"), Number(0xFFFFFFFFu));
    EXPECT_EQ(Stored("b"), Number(0x80000000u));
    EXPECT_EQ(Stored("c"), Number(17));
    EXPECT_EQ(Stored("d"), Number(0));
    EXPECT_EQ(Stored("e"), Number(0));
    EXPECT_EQ(Stored("f"), Number(0));
    EXPECT_EQ(Stored("g"), Number(7));
    EXPECT_EQ(Stored("h"), Number(12));
    EXPECT_EQ(Stored("i"), Number(0));
    EXPECT_EQ(Stored("j"), Number(static_cast<uint32_t>(99999999999ull)));
    EXPECT_EQ(Stored("k"), Number(0x80000000u));
}

TEST_F(SettingsImport, TextKeepsEverythingButTheQuotes) {
    Import("Path=\"C:\\Program Files\\Lumeno\"\n  Spaced  = \" a b \" \nEmpty=\"\"\n"
           "Accent=\"caf\xE9\"\n");
    EXPECT_EQ(Stored("Path"), String("C:\\Program Files\\Lumeno"));
    EXPECT_EQ(Stored("  Spaced  "), String("  a b  "));
    EXPECT_EQ(Stored("Empty"), String(""));
    EXPECT_EQ(Stored("Accent"), String("caf\xE9"));
}

TEST_F(SettingsImport, LaterLinesReplaceEarlierOnesWithTheirType) {
    Import("Port=\"eighty\"\nport=8080\nTitle=1\nTITLE=\"One\"\n");
    EXPECT_EQ(Stored("Port"), Number(8080));
    EXPECT_EQ(Stored("Title"), String("One"));
    EXPECT_EQ(Names(), (std::vector<std::string>{"Port", "Title"}));
}

TEST_F(SettingsImport, LineEndings) {
    Import("A=1\r\nB=2\nC=3\rD=4\r\n\r\n\n\nE=\"x\ry\"\r\rF=6\rG=7\r");
    EXPECT_EQ(Stored("A"), Number(1));
    EXPECT_EQ(Stored("B"), Number(2));
    // A lone CR is data: C's line runs on to D's, and splits at its first =.
    EXPECT_EQ(Stored("C"), Number(3));
    EXPECT_EQ(Stored("D"), "absent");
    EXPECT_EQ(Stored("E"), String("x\ry\r\rF=6\rG=7\r"));
    EXPECT_EQ(Names(), (std::vector<std::string>{"A", "B", "C", "E"}));
}

TEST_F(SettingsImport, LongLinesArriveWhole) {
    for (std::size_t length : {127u, 128u, 129u, 255u, 256u, 257u, 300u, 5000u}) {
        emulated::ResetPlatform();
        emulated::SetDriveFolder(folder + "/drives");
        std::string text(length - 4, 'x'); // Long="...": the line is `length` bytes
        std::string line = "L=\"" + text + "\"";
        ASSERT_EQ(line.size(), length);
        // In the middle of a file, and as a last line with no LF after it.
        Import(line + "\nM=1\n" + line);
        EXPECT_EQ(Stored("L"), String(text)) << length;
        EXPECT_EQ(Stored("M"), Number(1)) << length;
        Import("N=" + std::string(length - 3, '0') + "7");
        EXPECT_EQ(Stored("N"), Number(7)) << length;
    }
    Import(std::string(126, ' ') + "Z=5"); // 129 bytes, no LF: the name is spaces and Z
    EXPECT_EQ(Stored(std::string(126, ' ') + "Z"), Number(5));
}

TEST_F(SettingsImport, EndOfFileByteEndsTheImport) {
    Import("A=1\nB=\"two\x1A\"\nC=3\n");
    EXPECT_EQ(Stored("A"), Number(1));
    EXPECT_EQ(Stored("B"), String("two")); // cut before its closing quote, still text
    EXPECT_EQ(Stored("C"), "absent");
    Import("\x1A"
           "D=4\n");
    EXPECT_EQ(Stored("D"), "absent");
    Import("E=5\r\x1A\nF=6\n"); // a CR before the end stays in the last line
    EXPECT_EQ(Stored("E"), Number(5));
    EXPECT_EQ(Stored("F"), "absent");
}

TEST_F(SettingsImport, NothingToImportWritesNothing) {
    for (const char* bytes : {"", "\n", "\r\n\r\n\n",
                              "\x1A"
                              "A=1"}) {
        EXPECT_EQ(Import(bytes), 0);
        EXPECT_FALSE(emulated::RegistryKeyExists(HKEY_CURRENT_USER, "Software"))
            << "for " << ShellQuoted(bytes);
    }
}

TEST_F(SettingsImport, ZeroByteEndsTheLinesText) {
    Import(std::string("A=12\0"
                       "34\nB=\"x\0y\"\nC=3\n",
                       20));
    EXPECT_EQ(Stored("A"), Number(12));
    EXPECT_EQ(Stored("B"), String("x"));
    EXPECT_EQ(Stored("C"), Number(3));
}

TEST_F(SettingsImport, DoubleByteCharactersHideQuotesAndLeadBytes) {
    emulated::SetCodePage(932);
    LoadLeadByteTableFor(932);
    // 0x81 0x22 is one character: its second byte is no quote. A line of one
    // lone lead byte counts as empty.
    Import("A=\x81\"\nB=\"\x81\x40\"\n\x81\n");
    EXPECT_EQ(Stored("A"), Number(0));
    EXPECT_EQ(Stored("B"), String("\x81\x40"));
    EXPECT_EQ(Names(), (std::vector<std::string>{"A", "B"}));

    LoadLeadByteTableFor(1252);
    Import("A=\x81\"\n");
    EXPECT_EQ(Stored("A"), String("\x81"));
}

TEST_F(SettingsImport, PathIsTakenAsGiven) {
    WriteFileBytes(folder + "/relative.ini", "Rel=1\n");
    std::string relative = "scratch/" + folder.substr(folder.rfind('/') + 1) + "/relative.ini";
    std::vector<char> path(relative.begin(), relative.end());
    path.push_back(0);
    EXPECT_EQ(SetupServer(nullptr, 0, path.data()), 0);
    EXPECT_EQ(Stored("Rel"), Number(1));
}

TEST_F(SettingsImport, MissingOrUnreadableFilesImportNothing) {
    int descriptors = OpenDescriptorCount();
    char missing[] = "C:\\missing.ini";
    EXPECT_EQ(SetupServer(nullptr, 0, missing), 0);
    EXPECT_FALSE(PathExists(folder + "/drives/c/missing.ini"));

    char folderPath[] = "C:\\";
    EXPECT_EQ(SetupServer(nullptr, 0, folderPath), 0);

    EXPECT_EQ(SetupServer(nullptr, 0, nullptr), 0);

    WriteFileBytes(folder + "/drives/c/locked.ini", "A=1\n");
    emulated::InjectFault(1, emulated::FaultKind::InUse, "CreateFileA");
    char locked[] = "C:\\locked.ini";
    EXPECT_EQ(SetupServer(nullptr, 0, locked), 0);

    EXPECT_FALSE(emulated::RegistryKeyExists(HKEY_CURRENT_USER, "Software"));
    EXPECT_EQ(OpenDescriptorCount(), descriptors);
}

TEST_F(SettingsImport, FailuresPartWayKeepWhatWasWrittenAndCloseTheFile) {
    int descriptors = OpenDescriptorCount();
    // The file is read 4096 bytes at a time: the second read fails.
    std::string early = "First=1\n";
    std::string filler = "Filler=\"" + std::string(5000, 'f') + "\"\n";
    emulated::InjectFault(2, emulated::FaultKind::AccessDenied, "ReadFile");
    EXPECT_EQ(Import(early + filler + "Last=3\n"), 0);
    EXPECT_EQ(Stored("First"), Number(1));
    EXPECT_EQ(Stored("Filler"), "absent");
    EXPECT_EQ(Stored("Last"), "absent");
    EXPECT_EQ(OpenDescriptorCount(), descriptors);

    emulated::InjectFault(1, emulated::FaultKind::AccessDenied, "SetFilePointer");
    EXPECT_EQ(Import("Seek=1\n"), 0);
    EXPECT_EQ(Stored("Seek"), "absent");

    emulated::InjectFault(1, emulated::FaultKind::AccessDenied, "CloseHandle");
    EXPECT_EQ(Import("Close=1\n"), 0);
    EXPECT_EQ(Stored("Close"), Number(1));
    EXPECT_EQ(OpenDescriptorCount(), descriptors);
}

TEST_F(SettingsImport, FailedWritesAreSkipped) {
    emulated::InjectFault(1, emulated::FaultKind::AccessDenied, "RegSetValueExA");
    Import("A=1\nB=2\n");
    EXPECT_EQ(Stored("A"), "absent");
    EXPECT_EQ(Stored("B"), Number(2));

    emulated::ResetPlatform();
    emulated::SetDriveFolder(folder + "/drives");
    emulated::DenyRegistryAccess(HKEY_CURRENT_USER, "Software\\Corvanet");
    EXPECT_EQ(Import("A=1\nB=\"2\"\n"), 0);
    EXPECT_FALSE(emulated::RegistryKeyExists(HKEY_CURRENT_USER, "Software\\Corvanet"));
    EXPECT_EQ(emulated::OpenRegistryKeyCount(), 0);
}

} // namespace
