// UninstInitialize and CleanupDatabase on the emulated platform: the boxes
// and their answers, the product window, the dbPath value, and the guard that
// keeps a bad value from removing anything beyond the folder it names.
#include "DatabasePath.h"
#include "DirectoryTreeSupport.h"
#include "Control.h"
#include "Hooks.h"
#include "LeadBytes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>

namespace {

const char* const applicationKey = "Software\\Corvanet\\Lumeno";
const char* const question =
    "You are about to loose your current registration data\nDo you want to proceed ?";
HWND const owner = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x4242));

class DatabaseRemoval : public ScratchDrive {
  protected:
    void SetUp() override {
        ScratchDrive::SetUp();
        emulated::UseRegistryFile("");
    }

    void SeedDatabasePath(const std::string& bytes, DWORD type = REG_SZ) {
        emulated::SeedRegistryValue(HKEY_CURRENT_USER, applicationKey, "dbPath", type, bytes);
    }
    // A database folder with read-only files, a read-only and a hidden
    // folder, nested three deep.
    void MakeDatabase() {
        MakeFile("Lumeno/db/main.db", "main");
        MakeFile("Lumeno/db/main.db-journal", "journal");
        MakeReadOnly("Lumeno/db/main.db");
        MakeFile("Lumeno/db/.cache/index", "index");
        MakeFile("Lumeno/db/archive/2019/old.db", "old");
        MakeReadOnly("Lumeno/db/archive/2019/old.db");
        MakeReadOnly("Lumeno/db/archive/2019");
        MakeFile("Lumeno/settings.ini", "keep");
        SeedDatabasePath(std::string("D:\\Lumeno\\db") + '\0');
    }
};

TEST_F(DatabaseRemoval, NoLeavesTheFolderAndLooksForNoWindow) {
    MakeDatabase();
    emulated::ScriptAnswer(false);
    TraceRecorder trace;
    EXPECT_EQ(UninstInitialize(owner, 0, nullptr), -1);
    EXPECT_TRUE(Exists("Lumeno/db/main.db"));
    EXPECT_EQ(trace.Count("FindWindowA("), 0) << trace.Text();

    const auto& boxes = emulated::ShownMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].owner, owner);
    EXPECT_EQ(boxes[0].text, question);
    EXPECT_EQ(boxes[0].caption, "Warning");
    EXPECT_EQ(boxes[0].style, 0x24u);
    EXPECT_EQ(boxes[0].answer, IDNO);
}

TEST_F(DatabaseRemoval, WithoutAnAnswerTheBoxSaysNo) {
    MakeDatabase();
    EXPECT_EQ(UninstInitialize(owner, 0, nullptr), -1);
    EXPECT_TRUE(Exists("Lumeno/db/main.db"));
    ASSERT_EQ(emulated::ShownMessageBoxes().size(), 1u);
    EXPECT_EQ(emulated::ShownMessageBoxes()[0].answer, IDNO);
}

TEST_F(DatabaseRemoval, RunningProductShowsBothBoxesAndRemovesNothing) {
    MakeDatabase();
    emulated::OpenWindow("LumenoMainWindow");
    emulated::ScriptAnswer(true);
    EXPECT_EQ(UninstInitialize(owner, 0, nullptr), -1);
    EXPECT_EQ(ReadFileBytes(Disk("Lumeno/db/main.db")), "main");
    EXPECT_TRUE(Exists("Lumeno/db/archive/2019/old.db"));

    const auto& boxes = emulated::ShownMessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, question);
    EXPECT_EQ(boxes[1].owner, owner);
    EXPECT_EQ(boxes[1].text, "Close the VKT and run up setup again.");
    EXPECT_EQ(boxes[1].caption, "Error");
    EXPECT_EQ(boxes[1].style, 0x10u);
}

TEST_F(DatabaseRemoval, YesRemovesTheWholeTreeAndNothingBeside) {
    MakeDatabase();
    emulated::OpenWindow("SomeOtherWindow");
    emulated::ScriptAnswer(true);
    EXPECT_EQ(UninstInitialize(owner, 0, nullptr), 0);
    EXPECT_FALSE(Exists("Lumeno/db"));
    EXPECT_EQ(ReadFileBytes(Disk("Lumeno/settings.ini")), "keep");
    EXPECT_EQ(emulated::ShownMessageBoxes().size(), 1u);
    EXPECT_EQ(emulated::OpenSearchCount(), 0);
}

TEST_F(DatabaseRemoval, CleanupRemovesWithoutAskingEvenWhileTheProductRuns) {
    MakeDatabase();
    emulated::OpenWindow("LumenoMainWindow");
    EXPECT_EQ(CleanupDatabase(nullptr, 0, nullptr), 1);
    EXPECT_FALSE(Exists("Lumeno/db"));
    EXPECT_EQ(ReadFileBytes(Disk("Lumeno/settings.ini")), "keep");
    EXPECT_TRUE(emulated::ShownMessageBoxes().empty());
}

TEST_F(DatabaseRemoval, MissingValueTouchesNoFileAndLeavesTheKey) {
    MakeFile("Lumeno/db/main.db", "main");
    ASSERT_FALSE(emulated::RegistryKeyExists(HKEY_CURRENT_USER, applicationKey));
    emulated::ScriptAnswer(true);
    EXPECT_EQ(UninstInitialize(owner, 0, nullptr), 0);
    EXPECT_TRUE(emulated::RegistryKeyExists(HKEY_CURRENT_USER, applicationKey));
    EXPECT_EQ(CleanupDatabase(nullptr, 0, nullptr), 1);
    EXPECT_EQ(ReadFileBytes(Disk("Lumeno/db/main.db")), "main");
}

TEST_F(DatabaseRemoval, ValueIsReadThroughA1000ByteBuffer) {
    MakeDatabase();
    // Stored bytes beyond the first zero are cut off; 1000 bytes in all fit.
    std::string exactly = std::string("D:\\Lumeno\\db") + '\0';
    exactly.resize(1000, 'x');
    SeedDatabasePath(exactly);
    EXPECT_EQ(CleanupDatabase(nullptr, 0, nullptr), 1);
    EXPECT_FALSE(Exists("Lumeno/db"));

    MakeDatabase();
    SeedDatabasePath(exactly + 'x');
    EXPECT_EQ(CleanupDatabase(nullptr, 0, nullptr), 1);
    EXPECT_TRUE(Exists("Lumeno/db/main.db"));

    SeedDatabasePath(std::string("D:\\Lumeno\\db") + '\0', REG_EXPAND_SZ);
    EXPECT_EQ(CleanupDatabase(nullptr, 0, nullptr), 1);
    EXPECT_TRUE(Exists("Lumeno/db/main.db"));
}

TEST_F(DatabaseRemoval, ValuesNamingNoFolderBelowARootRemoveNothing) {
    // Each of these, handed on as it stands, would take a drive, the drive
    // of a rootless path (C:) or the folder above with it.
    MakeDatabase();
    MakeFile("top.dat", "top");
    RunCommand("mkdir -p " + ShellQuoted(drives + "/c/db"));
    WriteFileBytes(drives + "/c/db/c.dat", "c");
    WriteFileBytes(drives + "/c/root.dat", "root");
    const char* values[] = {"",
                            "\\",
                            "D:",
                            "D:\\",
                            "D:/",
                            "D:db",
                            "Lumeno\\db",
                            "\\Lumeno\\db",
                            "\\db",
                            "\\\\server\\share",
                            "\\\\?\\D:\\Lumeno",
                            "D:\\Lumeno\\db\\..",
                            "D:\\Lumeno\\.",
                            "D:\\.\\Lumeno",
                            "D:\\...",
                            "D:\\. .",
                            "D:\\\\",
                            "D://",
                            "\\\\server\\share\\",
                            "//server//share/",
                            "\\\\\\server\\share\\db",
                            "D:\\Lumeno\\db\\..\\",
                            "D:\\Lu*",
                            "D:\\Lumeno\\db:stream"};
    for (const char* value : values) {
        SeedDatabasePath(std::string(value) + '\0');
        emulated::ScriptAnswer(true);
        EXPECT_EQ(UninstInitialize(owner, 0, nullptr), 0) << value;
        EXPECT_EQ(CleanupDatabase(nullptr, 0, nullptr), 1) << value;
        EXPECT_EQ(ReadFileBytes(Disk("Lumeno/db/main.db")), "main") << value;
        EXPECT_EQ(ReadFileBytes(Disk("top.dat")), "top") << value;
        EXPECT_EQ(ReadFileBytes(drives + "/c/db/c.dat"), "c") << value;
        EXPECT_EQ(ReadFileBytes(drives + "/c/root.dat"), "root") << value;
    }
}

TEST_F(DatabaseRemoval, OtherSpellingsOfTheFolderRemoveItAsThePlainOne) {
    for (const char* value : {"D:\\Lumeno\\db\\", "D:/Lumeno/db", "D:\\\\Lumeno\\\\db/"}) {
        MakeDatabase();
        MakeFile("Lumeno/db/dotted./inside", "inside");
        MakeFile("Lumeno/db/spaced ", "spaced");
        MakeFile("Lumeno/db-old/main.db", "old");
        SeedDatabasePath(std::string(value) + '\0');
        emulated::ScriptAnswer(true);
        TraceRecorder trace;
        EXPECT_EQ(UninstInitialize(owner, 0, nullptr), 0) << value;
        EXPECT_FALSE(Exists("Lumeno/db")) << value;
        EXPECT_EQ(trace.Count("RemoveDirectoryW(\"\\\\\\\\?\\\\D:\\\\Lumeno\\\\db\")"), 2)
            << trace.Text();
        EXPECT_EQ(ReadFileBytes(Disk("Lumeno/db-old/main.db")), "old") << value;
        EXPECT_EQ(ReadFileBytes(Disk("Lumeno/settings.ini")), "keep") << value;
    }
}

TEST_F(DatabaseRemoval, ValueNamingAFileOrALinkRemovesNothingBehindIt) {
    MakeFile("Lumeno/db.dat", "file");
    SeedDatabasePath(std::string("D:\\Lumeno\\db.dat") + '\0');
    EXPECT_EQ(CleanupDatabase(nullptr, 0, nullptr), 1);
    EXPECT_EQ(ReadFileBytes(Disk("Lumeno/db.dat")), "file");

    MakeFile("elsewhere/precious.dat", "p");
    MakeLink(Disk("elsewhere"), "Lumeno/linked");
    ASSERT_TRUE(emulated::FailRemovalOf("D:\\Lumeno\\linked", emulated::FaultKind::AccessDenied));
    SeedDatabasePath(std::string("D:\\Lumeno\\linked") + '\0');
    EXPECT_EQ(CleanupDatabase(nullptr, 0, nullptr), 1);
    EXPECT_EQ(ReadFileBytes(Disk("elsewhere/precious.dat")), "p");
}

TEST_F(DatabaseRemoval, SystemFoldersAndTheFoldersAboveThemAreLeftHoweverNamed) {
    // Drive C: as the emulated system has it: the Windows folder where Wine
    // keeps it, Program Files from the environment, the profiles folder only
    // from the machine's registry, expanded with the Windows folder's drive.
    const std::string c = drives + "/c/";
    for (const char* folder : {"windows/system32", "Program Files/Corvanet/Lumeno/Database/x",
                               "Profiles/alice", "Data"}) {
        RunCommand("mkdir -p " + ShellQuoted(c + folder));
    }
    for (const char* marker :
         {"windows/system32/kernel32.dll", "Program Files/marker", "Profiles/alice/marker"}) {
        WriteFileBytes(c + marker, "system");
    }
    MakeLink(drives + "/c", "via");
    MakeLink(c + "Profiles", "named");
    emulated::SeedRegistryValue(
        HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList",
        "ProfilesDirectory", REG_EXPAND_SZ, std::string("%SystemDrive%\\Profiles") + '\0');
    ASSERT_EQ(::setenv("ProgramFiles", "C:\\Program Files", 1), 0);
    ASSERT_EQ(::setenv("SystemDrive", "Q:", 1),
              0); // the user's, and ignored where it would hide one
    for (const char* value : {"C:\\WINDOWS", "C:\\windows\\System32", "C:\\Program Files\\",
                              "C:\\profiles", "D:\\via\\profiles", "D:\\named"}) {
        SeedDatabasePath(std::string(value) + '\0');
        EXPECT_EQ(CleanupDatabase(nullptr, 0, nullptr), 1) << value;
        EXPECT_EQ(ReadFileBytes(c + "windows/system32/kernel32.dll"), "system") << value;
        EXPECT_EQ(ReadFileBytes(c + "Program Files/marker"), "system") << value;
        EXPECT_EQ(ReadFileBytes(c + "Profiles/alice/marker"), "system") << value;
    }
    EXPECT_TRUE(Exists("named")); // a link to one of them stays too
    // A product's folder below one of them, and a folder beside them, go.
    SeedDatabasePath(std::string("C:\\Program Files\\Corvanet\\Lumeno\\Database") + '\0');
    EXPECT_EQ(CleanupDatabase(nullptr, 0, nullptr), 1);
    SeedDatabasePath(std::string("C:\\Data") + '\0');
    EXPECT_EQ(CleanupDatabase(nullptr, 0, nullptr), 1);
    ::unsetenv("ProgramFiles");
    ::unsetenv("SystemDrive");
    EXPECT_FALSE(PathExists(c + "Program Files/Corvanet/Lumeno/Database"));
    EXPECT_TRUE(PathExists(c + "Program Files/Corvanet/Lumeno"));
    EXPECT_FALSE(PathExists(c + "Data"));
    EXPECT_EQ(emulated::OpenFileCount(), 0);
}

TEST_F(DatabaseRemoval, ASecondByteWithTheBackslashCodeIsNoSeparator) {
    // Under code page 932, 0x95 0x5C is one character: "\x95\x5C.." is one
    // name, whose trailing dots the platform drops, not a folder and "..".
    // Split at the 0x5C, the path would climb to D:\Lumeno and take all of
    // it; read as text, it names a folder "\x95\x5C" that is not there.
    // On disk the character is kept in UTF-8, as Wine keeps names.
    emulated::SetCodePage(932);
    LoadLeadByteTableFor(932);
    MakeFile("Lumeno/keep.dat", "keep");
    MakeFile("Lumeno/\xE8\xA1\xA8../inside.dat", "inside");
    SeedDatabasePath(std::string("D:\\Lumeno\\\x95\x5C..") + '\0');
    EXPECT_EQ(CleanupDatabase(nullptr, 0, nullptr), 1);
    EXPECT_EQ(ReadFileBytes(Disk("Lumeno/keep.dat")), "keep");
    EXPECT_EQ(ReadFileBytes(Disk("Lumeno/\xE8\xA1\xA8../inside.dat")), "inside");

    MakeFile("Lumeno/\xE8\xA1\xA8/inside.dat", "inside");
    SeedDatabasePath(std::string("D:\\Lumeno\\\x95\x5C") + '\0');
    EXPECT_EQ(CleanupDatabase(nullptr, 0, nullptr), 1);
    EXPECT_FALSE(Exists("Lumeno/\xE8\xA1\xA8"));
    EXPECT_EQ(ReadFileBytes(Disk("Lumeno/keep.dat")), "keep");
    LoadLeadByteTableFor(1252);
}

class DatabasePathGuard : public ::testing::Test {
  protected:
    void TearDown() override { LoadLeadByteTableFor(1252); }
};

TEST_F(DatabasePathGuard, AcceptsFoldersBelowADriveOrAShareRootInTheirPlainSpelling) {
    const std::pair<const char*, const char*> accepted[] = {
        {"C:\\db", "C:\\db"},
        {"c:\\Program Files\\Lumeno\\db", "c:\\Program Files\\Lumeno\\db"},
        {"D:/data/db", "D:\\data\\db"},
        {"D:\\data\\db\\", "D:\\data\\db"},
        {"D:\\\\data\\\\db/", "D:\\data\\db"},
        {"\\\\server\\share\\db", "\\\\server\\share\\db"},
        {"//server//share/db/", "\\\\server\\share\\db"},
        {"C:\\a.b\\...x", "C:\\a.b\\...x"},
        {"C:\\.db", "C:\\.db"}};
    for (const auto& path : accepted) {
        EXPECT_EQ(std::string(ResolveRemovableFolder(path.first).Text()), path.second)
            << path.first;
    }
    for (const char* path :
         {"", "C:", "C:\\", "C:\\\\", "C:/", "C:x", "x", "\\x", "\\\\server", "\\\\server\\share",
          "\\\\server\\share\\", "\\\\\\server\\share\\db", "\\\\.\\C:\\db", "C:\\a\\..\\b",
          "C:\\..", "C:\\db\\.\\", "C:\\db|x", "C:\\db\x01", "1:\\db",
          // Windows reads a middle folder's trailing dots and spaces away;
          // the walk's verbatim path would keep them and name another one.
          "D:\\Lumeno.\\Database", "D:\\Lumeno \\Database", "D:\\a\\b..\\c/",
          "\\\\server\\share.\\db"}) {
        EXPECT_TRUE(ResolveRemovableFolder(path).IsEmpty()) << path;
    }
}

TEST_F(DatabasePathGuard, StepsOverDoubleByteCharacters) {
    // 0x95 0x5C and 0x81 0x7C are single characters in code page 932, whose
    // second bytes are a backslash and a bar in code page 1252.
    const char* backslashTrail = "C:\\\x95\x5C";
    const char* barTrail = "C:\\db\x81\x7C";
    LoadLeadByteTableFor(932);
    EXPECT_EQ(std::string(ResolveRemovableFolder(backslashTrail).Text()), backslashTrail);
    EXPECT_EQ(std::string(ResolveRemovableFolder(barTrail).Text()), barTrail);
    EXPECT_EQ(std::string(ResolveRemovableFolder("C:\\\x95\x5C\\").Text()), backslashTrail);
    LoadLeadByteTableFor(1252);
    EXPECT_EQ(std::string(ResolveRemovableFolder(backslashTrail).Text()), "C:\\\x95");
    EXPECT_TRUE(ResolveRemovableFolder(barTrail).IsEmpty());
}

} // namespace

namespace {

TEST_F(DatabaseRemoval, HostStandInTakesItsAnswersAndWindowsFromItsOptions) {
    MakeDatabase();
    std::string registry = scratch + "/registry.reg";
    WriteFileBytes(registry, "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Corvanet\\Lumeno]\n"
                             "\"dbPath\"=\"D:\\\\Lumeno\\\\db\"\n");
    auto host = [&](const std::string& options) {
        return RunCommand("env -u GANTREL_ANSWERS -u GANTREL_WINDOWS " + ShellQuoted(GANTREL_HOST) +
                          " --registry " + ShellQuoted(registry) + " --drives " +
                          ShellQuoted(drives) + " " + options + " UninstInitialize </dev/null");
    };
    EXPECT_EQ(host("").output, "UninstInitialize = -1\n");
    EXPECT_EQ(host("--answer no").output, "UninstInitialize = -1\n");
    EXPECT_EQ(host("--answer yes --window LumenoMainWindow").output, "UninstInitialize = -1\n");
    EXPECT_TRUE(Exists("Lumeno/db/main.db"));
    EXPECT_EQ(host("--answer yes --window OtherWindow").output, "UninstInitialize = 0\n");
    EXPECT_FALSE(Exists("Lumeno/db"));
    EXPECT_EQ(ReadFileBytes(Disk("Lumeno/settings.ini")), "keep");
}

} // namespace
