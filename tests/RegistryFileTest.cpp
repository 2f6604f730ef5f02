// The emulated registry's REGEDIT4 file: every value's type and bytes survive
// a save and a load, the text is the one the registry editor writes, saving
// replaces the file atomically, a malformed file is refused and never
// overwritten, and gantrel-host prints a saved registry.
#include "Control.h"
#include "Platform.h"
#include "RegistryValues.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

namespace {

const char sandbox[] = "Software\\Corvanet\\Lumeno";

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    while (dirent* entry = dir != nullptr ? ::readdir(dir) : nullptr) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    if (dir != nullptr) {
        ::closedir(dir);
    }
    return names;
}

class RegistryFile : public ::testing::Test {
  protected:
    void SetUp() override {
        emulated::ResetPlatform();
        folder = MakeScratchFolder();
        file = folder + "/registry.reg";
    }
    void TearDown() override {
        emulated::ResetPlatform();
        RemoveScratchFolder(folder);
    }

    // What a fresh process would see: the file loaded anew.
    void Reload() { ASSERT_TRUE(emulated::UseRegistryFile(file)); }

    std::string folder;
    std::string file;
};

struct Sample {
    std::string name;
    DWORD type;
    std::string bytes;
};

const std::vector<Sample>& Samples() {
    static const std::vector<Sample> samples = {
        {"Plain", REG_SZ, std::string("Main\0", 5)},
        {"Quoted \"\\ name", REG_SZ, std::string("C:\\a \"b\"\0", 10)},
        {"", REG_SZ, std::string("unnamed\0", 8)},
        {"@", REG_DWORD, "\x01\x00\x00\x80"},
        {"NoTerminator", REG_SZ, "abc"},
        {"TwoZeros", REG_SZ, std::string("ab\0\0", 4)},
        {"Empty text", REG_SZ, std::string("\0", 1)},
        {"No bytes", REG_SZ, ""},
        {"Accented", REG_SZ, std::string("caf\xE9\0", 5)},
        {"Line\rbreaks\n", REG_SZ, std::string("a\r\nb\0", 5)},
        {"Tab\tname", REG_DWORD, std::string("\x90\x1F\x00\x00", 4)},
        {"Short dword", REG_DWORD, "\x01\x02"},
        {"Long dword", REG_DWORD, std::string("\x01\x02\x03\x04\x05", 5)},
        {"Binary", REG_BINARY, std::string("\x00\xFF\x00\x7F", 4)},
        {"Empty binary", REG_BINARY, ""},
        {"Multi", REG_MULTI_SZ, std::string("one\0two\0\0", 9)},
        {"Expand", REG_EXPAND_SZ, std::string("%TEMP%\0", 7)},
        {"Odd type", 0x12345678, "odd"},
        {"None", REG_NONE, std::string("\0", 1)},
        {"Wide", REG_BINARY, std::string(1000, '\xA5')},
    };
    return samples;
}

TEST_F(RegistryFile, EveryTypeAndByteSurvivesASaveAndALoad) {
    ASSERT_TRUE(emulated::UseRegistryFile(file));
    for (const Sample& sample : Samples()) {
        emulated::SeedRegistryValue(HKEY_CURRENT_USER, sandbox, sample.name, sample.type,
                                    sample.bytes);
    }
    emulated::SeedRegistryKey(HKEY_CLASSES_ROOT, "Empty\\Key ]with] brackets");
    emulated::SeedRegistryValue(HKEY_LOCAL_MACHINE, "caf\xE9\\Sub key", "v", REG_SZ, "x");
    std::string saved = emulated::RegistryText();

    Reload();
    for (const Sample& sample : Samples()) {
        DWORD type = 0;
        std::string bytes;
        ASSERT_TRUE(
            emulated::ReadRegistryValue(HKEY_CURRENT_USER, sandbox, sample.name, type, bytes))
            << sample.name;
        EXPECT_EQ(type, sample.type) << sample.name;
        EXPECT_EQ(bytes, sample.bytes) << sample.name;
    }
    EXPECT_EQ(emulated::RegistryValueNames(HKEY_CURRENT_USER, sandbox).size(), Samples().size());
    EXPECT_TRUE(emulated::RegistryKeyExists(HKEY_CLASSES_ROOT, "Empty\\Key ]with] brackets"));
    EXPECT_EQ(emulated::RegistrySubKeyNames(HKEY_LOCAL_MACHINE, ""),
              std::vector<std::string>{"caf\xE9"});
    EXPECT_EQ(emulated::RegistryText(), saved);
}

TEST_F(RegistryFile, TextIsWhatTheRegistryEditorWrites) {
    ASSERT_TRUE(emulated::UseRegistryFile(file));
    EXPECT_EQ(WriteRegLong(sandbox, "Port", 8080, HKEY_CURRENT_USER), 1);
    EXPECT_EQ(WriteRegString(sandbox, "Title", "C:\\\"Main\"", HKEY_CURRENT_USER), 1);
    EXPECT_EQ(WriteRegString(sandbox, "", "caf\xE9", HKEY_CURRENT_USER), 1);
    const BYTE block[] = {0, 1, 0xAB};
    EXPECT_EQ(WriteRegBlock(sandbox, "Block", block, 3, HKEY_CURRENT_USER), 1);
    EXPECT_EQ(WriteRegMultiString(sandbox, "Multi", "a\0\0", 3, HKEY_CURRENT_USER), 1);
    // The whole registry, as a compacted file holds it, reads as the editor
    // writes it; until then the file holds each change as a record.
    EXPECT_EQ(emulated::RegistryText(), "REGEDIT4\n"
                                        "\n[HKEY_CURRENT_USER\\Software]\n"
                                        "\n[HKEY_CURRENT_USER\\Software\\Corvanet]\n"
                                        "\n[HKEY_CURRENT_USER\\Software\\Corvanet\\Lumeno]\n"
                                        "@=hex(1):63,61,66,e9,00\n"
                                        "\"Block\"=hex:00,01,ab\n"
                                        "\"Multi\"=hex(7):61,00,00\n"
                                        "\"Port\"=dword:00001f90\n"
                                        "\"Title\"=\"C:\\\\\\\"Main\\\"\"\n");
    const std::string key = "[HKEY_CURRENT_USER\\Software\\Corvanet\\Lumeno]\n";
    EXPECT_EQ(ReadFileBytes(file),
              "REGEDIT4\n\n" + key + key + "\"Port\"=dword:00001f90\n" + key +
                  "\"Title\"=\"C:\\\\\\\"Main\\\"\"\n" + key + "@=hex(1):63,61,66,e9,00\n" + key +
                  "\"Block\"=hex:00,01,ab\n" + key + "\"Multi\"=hex(7):61,00,00\n");

    // Long hex data wraps as the editor wraps it, with a backslash; a record
    // keeps a value on one line.
    BYTE wide[40] = {};
    EXPECT_EQ(WriteRegBlock(sandbox, "Block", wide, 40, HKEY_CURRENT_USER), 1);
    std::string text = emulated::RegistryText();
    EXPECT_NE(text.find("\"Block\"=hex:00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,"
                        "00,00,\\\n  00,"),
              std::string::npos)
        << text;
    std::string record = "\"Block\"=hex:00";
    for (int i = 1; i < 40; ++i) {
        record += ",00";
    }
    EXPECT_NE(ReadFileBytes(file).find(record + "\n"), std::string::npos);
}

TEST_F(RegistryFile, HandWrittenFilesLoad) {
    WriteFileBytes(file, "\xEF\xBB\xBFREGEDIT4\r\n"
                         "; a comment\r\n"
                         "\r\n"
                         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Gone\\Below]\r\n"
                         "[HKCU\\Software\\Test]\r\n"
                         "\"Hex\"=HEX:01, 2,\\\r\n"
                         "    ff\r\n"
                         "\"Kind\"=hex(B):01,00,00,00,00,00,00,00\r\n"
                         "\"Upper\"=DWORD:FFFFFFFE  \r\n"
                         "\"Dropped\"=\"x\"\r\n"
                         "\"Dropped\"=-\r\n"
                         "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Gone]\r\n");
    Reload();
    DWORD type = 0;
    std::string bytes;
    ASSERT_TRUE(
        emulated::ReadRegistryValue(HKEY_CURRENT_USER, "Software\\Test", "Hex", type, bytes));
    EXPECT_EQ(bytes, "\x01\x02\xFF");
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    ASSERT_TRUE(
        emulated::ReadRegistryValue(HKEY_CURRENT_USER, "Software\\Test", "Kind", type, bytes));
    EXPECT_EQ(type, static_cast<DWORD>(REG_QWORD));
    ASSERT_TRUE(
        emulated::ReadRegistryValue(HKEY_CURRENT_USER, "Software\\Test", "Upper", type, bytes));
    EXPECT_EQ(bytes, "\xFE\xFF\xFF\xFF");
    EXPECT_EQ(emulated::RegistryValueNames(HKEY_CURRENT_USER, "Software\\Test").size(), 3u);
    EXPECT_TRUE(emulated::RegistryKeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE"));
    EXPECT_FALSE(emulated::RegistryKeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Gone"));
}

TEST_F(RegistryFile, KeyPathsAreReadInTheAnsiCodePage) {
    // The registry editor reads a REGEDIT4 file in the ANSI code page: in
    // code page 932 the bytes 0x95 0x5C are one character of a key's name.
    const std::string keyLine = "[HKEY_CURRENT_USER\\Top\\\x95\x5C\\\x83\x5C]\n";
    WriteFileBytes(file, "REGEDIT4\n\n" + keyLine + "\"v\"=\"1\"\n");
    emulated::SetCodePage(932);
    Reload();
    EXPECT_EQ(emulated::RegistrySubKeyNames(HKEY_CURRENT_USER, "Top"),
              std::vector<std::string>{"\x95\x5C"});
    EXPECT_EQ(emulated::RegistryValueNames(HKEY_CURRENT_USER, "Top\\\x95\x5C\\\x83\x5C"),
              std::vector<std::string>{"v"});
    // Saved and loaded again, the key keeps its name.
    emulated::SeedRegistryKey(HKEY_CURRENT_USER, "Saved");
    EXPECT_NE(ReadFileBytes(file).find(keyLine), std::string::npos) << ReadFileBytes(file);
    Reload();
    EXPECT_EQ(emulated::RegistrySubKeyNames(HKEY_CURRENT_USER, "Top\\\x95\x5C"),
              std::vector<std::string>{"\x83\x5C"});

    // The host's dump reads it in the code page it is given.
    CommandResult dump =
        RunCommand("env GANTREL_REGISTRY=" + ShellQuoted(file) + " GANTREL_CODEPAGE=932 " +
                   ShellQuoted(GANTREL_HOST) + " dump 'HKCU\\Top'");
    EXPECT_EQ(dump.output, "[HKEY_CURRENT_USER\\Top]\n"
                           "[HKEY_CURRENT_USER\\Top\\\x95\x5C]\n"
                           "[HKEY_CURRENT_USER\\Top\\\x95\x5C\\\x83\x5C]\n"
                           "\"v\" REG_SZ 31 00 ; \"1\"\n");
}

TEST_F(RegistryFile, NamesTheCodePageCannotCarryAreSavedInUtf8) {
    // A name outside the code page turns the whole file into UTF-8, marked
    // by a byte order mark; without one, names stay in the code page.
    ASSERT_TRUE(emulated::UseRegistryFile(file));
    emulated::SeedRegistryValue(HKEY_CURRENT_USER, "Caf\xE9", "Nom \xE9", REG_SZ, "x");
    EXPECT_EQ(ReadFileBytes(file),
              "REGEDIT4\n\n[HKEY_CURRENT_USER\\Caf\xE9]\n\"Nom \xE9\"=hex(1):78\n");
    // The change that brings in such a name rewrites the file in UTF-8 and
    // is appended to it; later changes follow in UTF-8.
    emulated::SeedRegistryKeyUtf8(HKEY_CURRENT_USER, "Caf\xC3\xA9\\日本語\\😀");
    const std::string inUtf8 = "\xEF\xBB\xBFREGEDIT4\n\n[HKEY_CURRENT_USER\\Café]\n"
                               "\"Nom é\"=hex(1):78\n"
                               "[HKEY_CURRENT_USER\\Café\\日本語\\😀]\n";
    EXPECT_EQ(ReadFileBytes(file), inUtf8);
    Reload();
    EXPECT_TRUE(emulated::RegistryKeyExistsUtf8(HKEY_CURRENT_USER, "Café\\日本語\\😀"));
    EXPECT_EQ(emulated::RegistryValueNames(HKEY_CURRENT_USER, "Caf\xE9"),
              std::vector<std::string>{"Nom \xE9"});
    EXPECT_EQ(platform::RegDeleteKeyW(HKEY_CURRENT_USER, u"Café\\日本語\\😀"), ERROR_SUCCESS);
    EXPECT_EQ(platform::RegDeleteKeyW(HKEY_CURRENT_USER, u"Café\\日本語"), ERROR_SUCCESS);
    EXPECT_EQ(ReadFileBytes(file), inUtf8 + "[-HKEY_CURRENT_USER\\Café\\日本語\\😀]\n"
                                            "[-HKEY_CURRENT_USER\\Café\\日本語]\n");
    Reload();
    EXPECT_FALSE(emulated::RegistryKeyExistsUtf8(HKEY_CURRENT_USER, "Café\\日本語"));
    EXPECT_EQ(emulated::RegistryValueNames(HKEY_CURRENT_USER, "Caf\xE9"),
              std::vector<std::string>{"Nom \xE9"});
    // Written whole again, with no such name left, it is in the code page.
    EXPECT_EQ(emulated::RegistryText(),
              "REGEDIT4\n\n[HKEY_CURRENT_USER\\Caf\xE9]\n\"Nom \xE9\"=hex(1):78\n");
}

TEST_F(RegistryFile, MalformedFilesAreRefusedAndNeverOverwritten) {
    const struct {
        const char* text;
        const char* reason;
    } cases[] = {
        {"[HKEY_CURRENT_USER\\A]\n", "line 1: the file does not begin with REGEDIT4"},
        {"REGEDIT4\n\n\"v\"=\"x\"\n", "line 3: a value before any [key] line"},
        {"REGEDIT4\n[HKEY_NOWHERE\\A]\n", "line 2: unknown root key"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"v\"=dword:123456789\n", "line 3: dword:"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"v\"=hex:0g\n", "line 3: hex bytes"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"v\"=\"open\n", "line 3: a quoted text without"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"v\"=hex:01,\\\n", "line 3: the hex data goes on"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"v\"=\"a\\tb\"\n", "line 3: unknown escape \\t"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A\n", "line 2: a key line must end with ]"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\nrubbish\n", "line 3: neither"},
    };
    for (const auto& bad : cases) {
        WriteFileBytes(file, bad.text);
        std::string error;
        EXPECT_FALSE(emulated::UseRegistryFile(file, &error)) << bad.text;
        EXPECT_NE(error.find(file), std::string::npos) << error;
        EXPECT_NE(error.find(bad.reason), std::string::npos) << error;
        EXPECT_EQ(emulated::RegistryFileError(), error);

        HKEY key = reinterpret_cast<HKEY>(0xDEAD);
        EXPECT_EQ(platform::RegCreateKeyExA(HKEY_CURRENT_USER, "B", 0, nullptr, 0, KEY_ALL_ACCESS,
                                            nullptr, &key, nullptr),
                  1009);
        EXPECT_EQ(key, nullptr);
        EXPECT_EQ(WriteRegLong("B", "v", 1, HKEY_CURRENT_USER), 0);
        emulated::SeedRegistryValue(HKEY_CURRENT_USER, "B", "v", REG_SZ, "x");
        EXPECT_EQ(ReadFileBytes(file), bad.text);
    }
    // Mended, the file loads again.
    WriteFileBytes(file, "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n");
    Reload();
    EXPECT_TRUE(emulated::RegistryKeyExists(HKEY_CURRENT_USER, "A"));
    EXPECT_EQ(emulated::RegistryFileError(), "");
}

TEST_F(RegistryFile, ChangesAreAppendedAndLeaveNothingElse) {
    ASSERT_TRUE(emulated::UseRegistryFile(file));
    EXPECT_FALSE(PathExists(file)); // nothing changed yet, nothing written
    EXPECT_EQ(WriteRegLong(sandbox, "n", 1, HKEY_CURRENT_USER), 1);
    struct stat before;
    ASSERT_EQ(::stat(file.c_str(), &before), 0);
    EXPECT_EQ(WriteRegLong(sandbox, "n", 2, HKEY_CURRENT_USER), 1);
    struct stat after;
    ASSERT_EQ(::stat(file.c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(after.st_size - before.st_size,
              static_cast<off_t>(std::string("[HKEY_CURRENT_USER\\Software\\Corvanet\\Lumeno]\n"
                                             "\"n\"=dword:00000002\n")
                                     .size()));
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"registry.reg"});
    Reload();
    DWORD type = 0;
    std::string bytes;
    ASSERT_TRUE(emulated::ReadRegistryValue(HKEY_CURRENT_USER, sandbox, "n", type, bytes));
    EXPECT_EQ(bytes, std::string("\x02\0\0\0", 4));
}

TEST_F(RegistryFile, TheHostLoadsTheFileNamedForItAndDumpsIt) {
    std::string drives = folder + "/drives";
    RunCommand("mkdir -p " + ShellQuoted(drives + "/c"));
    WriteFileBytes(drives + "/c/settings.ini", "Port=8080\nTitle=\"Main\"\n");
    std::string environment = "env GANTREL_REGISTRY=" + ShellQuoted(file) +
                              " GANTREL_DRIVES=" + ShellQuoted(drives) + " " +
                              ShellQuoted(GANTREL_HOST);
    CommandResult import = RunCommand(environment + " SetupServer 0 0 'C:\\settings.ini'");
    EXPECT_EQ(import.output, "SetupServer = 0\n");
    CommandResult dump = RunCommand(environment + " dump 'HKCU\\Software\\Corvanet'");
    EXPECT_EQ(dump.status, 0);
    EXPECT_EQ(dump.output, "[HKEY_CURRENT_USER\\Software\\Corvanet]\n"
                           "[HKEY_CURRENT_USER\\Software\\Corvanet\\Lumeno]\n"
                           "\"Port\" REG_DWORD 90 1F 00 00\n"
                           "\"Title\" REG_SZ 4D 61 69 6E 00 ; \"Main\"\n");
    CommandResult missing = RunCommand(environment + " dump 'HKLM\\Software\\Nothing'");
    EXPECT_EQ(missing.output, "[HKEY_LOCAL_MACHINE\\Software\\Nothing] (absent)\n");

    // A malformed file: the host says which line, and the module changes
    // nothing in it.
    WriteFileBytes(file, "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"v\"=dword:xyz\n");
    dump = RunCommand(environment + " dump");
    EXPECT_EQ(dump.status, 1);
    EXPECT_NE(dump.output.find("line 3"), std::string::npos) << dump.output;
    import = RunCommand(environment + " SetupServer 0 0 'C:\\settings.ini'");
    EXPECT_NE(import.output.find("line 3"), std::string::npos) << import.output;
    EXPECT_EQ(ReadFileBytes(file), "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"v\"=dword:xyz\n");
}

} // namespace
