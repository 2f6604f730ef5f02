// The registry file shared by processes: concurrent hosts lose nothing, a
// process killed at any moment leaves a file that loads to a prefix of its
// changes, a change that cannot be saved fails and changes nothing, the
// file's mode and links are kept, what is not a regular file is refused, and
// keys stay within 512 levels.
#include "Control.h"
#include "Platform.h"
#include "RegistryValues.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <dirent.h>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char sandbox[] = "Software\\Corvanet\\Lumeno";

HKEY Create(const std::string& path, LONG& status) {
    HKEY key = nullptr;
    status = platform::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0,
                                       KEY_ALL_ACCESS, nullptr, &key, nullptr);
    return key;
}

class RegistryStore : public ::testing::Test {
  protected:
    void SetUp() override {
        emulated::ResetPlatform();
        folder = MakeScratchFolder();
        file = folder + "/registry.reg";
    }
    void TearDown() override {
        emulated::ResetPlatform();
        RunCommand("chmod -R u+w " + ShellQuoted(folder));
        RemoveScratchFolder(folder);
    }

    // Whether the value holds `n`, read as a fresh process reads the file.
    bool Holds(const std::string& name, unsigned long n) {
        DWORD type = 0;
        std::string bytes;
        return emulated::ReadRegistryValue(HKEY_CURRENT_USER, sandbox, name, type, bytes) &&
               bytes == Dword(n);
    }

    // Writes values until the file is compacted into a new one.
    void WriteUntilCompacted() {
        struct stat before;
        ASSERT_EQ(::stat(file.c_str(), &before), 0);
        struct stat now = before;
        for (int i = 0; i < 20000 && now.st_ino == before.st_ino; ++i) {
            ASSERT_EQ(
                WriteRegLong(sandbox, ("filler" + std::to_string(i)).c_str(), i, HKEY_CURRENT_USER),
                1);
            ASSERT_EQ(::stat(file.c_str(), &now), 0);
        }
        ASSERT_NE(now.st_ino, before.st_ino) << "never compacted";
    }

    std::string folder;
    std::string file;
};

TEST_F(RegistryStore, EightConcurrentHostsLoseNothing) {
    const int hosts = 8;
    const int lines = 300; // enough for the file to be compacted meanwhile
    std::string drives = folder + "/drives";
    RunCommand("mkdir -p " + ShellQuoted(drives + "/c"));
    std::string script = "fail=0; pids=;";
    for (int h = 0; h < hosts; ++h) {
        std::string settings;
        for (int line = 0; line < lines; ++line) {
            settings += "H" + std::to_string(h) + "_" + std::to_string(line) + "=" +
                        std::to_string(h * 1000 + line) + "\n";
        }
        WriteFileBytes(drives + "/c/s" + std::to_string(h) + ".ini", settings);
        script += ShellQuoted(GANTREL_HOST) + " --registry " + ShellQuoted(file) + " --drives " +
                  ShellQuoted(drives) + " SetupServer 0 0 'C:\\s" + std::to_string(h) +
                  ".ini' >/dev/null & pids=\"$pids $!\";";
    }
    script += " for p in $pids; do wait $p || fail=1; done; exit $fail";
    CommandResult run = RunCommand("bash -c " + ShellQuoted(script));
    ASSERT_EQ(run.status, 0) << run.output;

    ASSERT_TRUE(emulated::UseRegistryFile(file));
    EXPECT_EQ(emulated::RegistryValueNames(HKEY_CURRENT_USER, sandbox).size(),
              static_cast<std::size_t>(hosts * lines));
    for (int h = 0; h < hosts; ++h) {
        for (int line = 0; line < lines; ++line) {
            std::string name = "H" + std::to_string(h) + "_" + std::to_string(line);
            EXPECT_TRUE(Holds(name, static_cast<unsigned long>(h * 1000 + line))) << name;
        }
    }
}

TEST_F(RegistryStore, EveryOperationSeesTheOtherProcessesChanges) {
    ASSERT_TRUE(emulated::UseRegistryFile(file));
    EXPECT_EQ(WriteRegLong(sandbox, "Mine", 1, HKEY_CURRENT_USER), 1);
    LONG status = 0;
    HKEY open = Create(sandbox, status);
    ASSERT_EQ(status, ERROR_SUCCESS);

    std::string drives = folder + "/drives";
    RunCommand("mkdir -p " + ShellQuoted(drives + "/c"));
    WriteFileBytes(drives + "/c/s.ini", "Theirs=2\n");
    std::string host = ShellQuoted(GANTREL_HOST) + " --registry " + ShellQuoted(file) +
                       " --drives " + ShellQuoted(drives);
    ASSERT_EQ(RunCommand(host + " SetupServer 0 0 'C:\\s.ini'").status, 0);
    EXPECT_TRUE(Holds("Theirs", 2));
    EXPECT_TRUE(Holds("Mine", 1));

    // Another process removes the key: the handle open on it learns of it.
    ASSERT_EQ(RunCommand(host + " UninstUnInitialize").status, 0);
    DWORD value = 3;
    EXPECT_EQ(platform::RegSetValueExA(open, "Late", 0, REG_DWORD,
                                       reinterpret_cast<const BYTE*>(&value), 4),
              ERROR_KEY_DELETED);
    EXPECT_EQ(platform::RegCloseKey(open), ERROR_SUCCESS);
    EXPECT_FALSE(emulated::RegistryKeyExists(HKEY_CURRENT_USER, sandbox));
}

TEST_F(RegistryStore, AProcessKilledAtAnyMomentLeavesAPrefixOfItsChanges) {
    std::mt19937 random(20261208);
    unsigned long next = 0; // the first value no killed writer is known to have made
    for (int round = 0; round < 16; ++round) {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            emulated::ResetPlatform();
            emulated::UseRegistryFile(file);
            if (::write(ready[1], "r", 1) != 1) {
                ::_exit(1);
            }
            for (unsigned long n = next;; ++n) {
                WriteRegLong(sandbox, ("v" + std::to_string(n)).c_str(), static_cast<LONG>(n),
                             HKEY_CURRENT_USER);
            }
        }
        char byte = 0;
        ::close(ready[1]);
        ASSERT_EQ(::read(ready[0], &byte, 1), 1);
        ::close(ready[0]);
        ::usleep(random() % 30000);
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);

        std::string error;
        ASSERT_TRUE(emulated::UseRegistryFile(file, &error)) << "round " << round << ": " << error;
        std::size_t count = emulated::RegistryValueNames(HKEY_CURRENT_USER, sandbox).size();
        ASSERT_GE(count, next) << "round " << round;
        for (unsigned long n = 0; n < count; ++n) {
            ASSERT_TRUE(Holds("v" + std::to_string(n), n)) << "round " << round << ", v" << n;
        }
        next = count;
    }
    ASSERT_GT(next, 0u);

    // A record cut short: never read, and cut off before the next change.
    WriteFileBytes(file, ReadFileBytes(file) + "[HKEY_CURRENT_USER\\Soft");
    ASSERT_TRUE(emulated::UseRegistryFile(file));
    EXPECT_EQ(WriteRegLong(sandbox, "after", 7, HKEY_CURRENT_USER), 1);
    EXPECT_EQ(ReadFileBytes(file).find("\\Soft["), std::string::npos);
    ASSERT_TRUE(emulated::UseRegistryFile(file));
    EXPECT_TRUE(Holds("after", 7));
    EXPECT_EQ(emulated::RegistryValueNames(HKEY_CURRENT_USER, sandbox).size(), next + 1);

    // What an interrupted compaction leaves beside the file is gone after
    // the next change.
    WriteFileBytes(file + ".tmp-Ab12Cd", "REGEDIT4\n");
    ASSERT_TRUE(emulated::UseRegistryFile(file));
    EXPECT_EQ(WriteRegLong(sandbox, "after", 8, HKEY_CURRENT_USER), 1);
    DIR* dir = ::opendir(folder.c_str());
    ASSERT_NE(dir, nullptr);
    std::vector<std::string> names;
    while (dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] != '.') {
            names.push_back(entry->d_name);
        }
    }
    ::closedir(dir);
    EXPECT_EQ(names, std::vector<std::string>{"registry.reg"});
}

TEST_F(RegistryStore, AChangeThatCannotBeSavedFailsAndChangesNothing) {
    ASSERT_TRUE(emulated::UseRegistryFile(file));
    ASSERT_EQ(WriteRegLong(sandbox, "Kept", 1, HKEY_CURRENT_USER), 1);
    const std::string saved = ReadFileBytes(file);

    // A write that fails, and a file that may not be written.
    DWORD value = 2;
    const BYTE* bytes = reinterpret_cast<const BYTE*>(&value);
    LONG status = 0;
    HKEY key = Create(sandbox, status);
    ASSERT_EQ(status, ERROR_SUCCESS);
    emulated::InjectFault(1, emulated::FaultKind::InUse, "WriteRegistryFile");
    EXPECT_EQ(platform::RegSetValueExA(key, "Kept", 0, REG_DWORD, bytes, 4), 1016);
    emulated::InjectFault(1, emulated::FaultKind::AccessDenied, "WriteRegistryFile");
    EXPECT_EQ(platform::RegDeleteKeyA(HKEY_CURRENT_USER, sandbox), ERROR_ACCESS_DENIED);
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    EXPECT_EQ(platform::RegSetValueExA(key, "New", 0, REG_DWORD, bytes, 4), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Create(std::string(sandbox) + "\\Sub", status), nullptr);
    EXPECT_EQ(status, ERROR_ACCESS_DENIED);
    // Opening what exists changes nothing and still works.
    HKEY again = Create(sandbox, status);
    EXPECT_EQ(status, ERROR_SUCCESS);
    EXPECT_EQ(platform::RegCloseKey(again), ERROR_SUCCESS);
    EXPECT_EQ(platform::RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(emulated::RegistryChangesRefused(), 4);
    EXPECT_EQ(emulated::RegistryValueNames(HKEY_CURRENT_USER, sandbox),
              std::vector<std::string>{"Kept"});
    EXPECT_TRUE(Holds("Kept", 1));
    EXPECT_EQ(ReadFileBytes(file), saved);
    struct stat info;
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0444u);

    // The host says so once, and ends with a status of its own.
    std::string drives = folder + "/drives";
    RunCommand("mkdir -p " + ShellQuoted(drives + "/c"));
    WriteFileBytes(drives + "/c/s.ini", "A=1\nB=2\nC=3\n");
    CommandResult run =
        RunCommand(ShellQuoted(GANTREL_HOST) + " --registry " + ShellQuoted(file) + " --drives " +
                   ShellQuoted(drives) + " SetupServer 0 0 'C:\\s.ini'");
    EXPECT_EQ(run.status, 6);
    EXPECT_EQ(run.output, "gantrel: cannot write the registry file " + file +
                              ": Permission denied; the registry refuses every change it "
                              "cannot save\nSetupServer = 0\n");
    EXPECT_EQ(ReadFileBytes(file), saved);

    // A folder that may not be written: no file can be made in it.
    std::string locked = folder + "/locked";
    RunCommand("mkdir -p " + ShellQuoted(locked) + " && chmod 0555 " + ShellQuoted(locked));
    ASSERT_TRUE(emulated::UseRegistryFile(locked + "/registry.reg"));
    EXPECT_EQ(Create(sandbox, status), nullptr);
    EXPECT_EQ(status, ERROR_ACCESS_DENIED);
    EXPECT_FALSE(emulated::RegistryKeyExists(HKEY_CURRENT_USER, "Software"));
    EXPECT_FALSE(PathExists(locked + "/registry.reg"));
}

TEST_F(RegistryStore, CompactionKeepsTheModeAndWritesThroughLinks) {
    WriteFileBytes(file, "REGEDIT4\n");
    ASSERT_EQ(::chmod(file.c_str(), 0600), 0);
    ASSERT_TRUE(emulated::UseRegistryFile(file));
    WriteUntilCompacted();
    struct stat info;
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);

    std::string link = folder + "/link.reg";
    ASSERT_EQ(::symlink("registry.reg", link.c_str()), 0);
    ASSERT_TRUE(emulated::UseRegistryFile(link));
    EXPECT_EQ(WriteRegLong(sandbox, "Through", 5, HKEY_CURRENT_USER), 1);
    WriteUntilCompacted();
    struct stat linkInfo;
    ASSERT_EQ(::lstat(link.c_str(), &linkInfo), 0);
    EXPECT_TRUE(S_ISLNK(linkInfo.st_mode));
    ASSERT_TRUE(emulated::UseRegistryFile(file));
    EXPECT_TRUE(Holds("Through", 5));
}

TEST_F(RegistryStore, WhatIsNotARegularFileIsRefusedAtOnce) {
    std::string fifo = folder + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    std::string error;
    EXPECT_FALSE(emulated::UseRegistryFile(fifo, &error));
    EXPECT_NE(error.find("it is not a regular file"), std::string::npos) << error;
    EXPECT_FALSE(emulated::UseRegistryFile("/dev/null", &error));
    EXPECT_NE(error.find("it is not a regular file"), std::string::npos) << error;
    EXPECT_FALSE(emulated::UseRegistryFile(folder, &error));
    EXPECT_NE(error.find("it is a folder"), std::string::npos) << error;

    // A settings file that is a FIFO opens as a folder would: not at all.
    RunCommand("mkdir -p " + ShellQuoted(folder + "/c") + " && mkfifo " +
               ShellQuoted(folder + "/c/settings.ini"));
    CommandResult run = RunCommand("timeout 10 " + ShellQuoted(GANTREL_HOST) + " --registry " +
                                   ShellQuoted(file) + " --drives " + ShellQuoted(folder) +
                                   " --trace SetupServer 0 0 'C:\\settings.ini'");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("INVALID_HANDLE_VALUE"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("error 5"), std::string::npos) << run.output;
}

TEST_F(RegistryStore, KeysStayWithin512Levels) {
    ASSERT_TRUE(emulated::UseRegistryFile(file));
    std::string path = "L";
    for (int level = 2; level <= 512; ++level) {
        path += "\\L";
    }
    LONG status = 0;
    HKEY deepest = Create(path, status);
    ASSERT_EQ(status, ERROR_SUCCESS);
    HKEY below = reinterpret_cast<HKEY>(0xDEAD);
    EXPECT_EQ(platform::RegCreateKeyExA(deepest, "M", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                        &below, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(below, nullptr);
    EXPECT_EQ(platform::RegCloseKey(deepest), ERROR_SUCCESS);
    EXPECT_EQ(Create(path + "\\M", status), nullptr);
    EXPECT_EQ(status, ERROR_INVALID_PARAMETER);
    ASSERT_TRUE(emulated::UseRegistryFile(file));
    EXPECT_TRUE(emulated::RegistryKeyExists(HKEY_CURRENT_USER, path));

    // A file holding a key one level deeper is refused, with its line.
    WriteFileBytes(file, "REGEDIT4\n\n[HKEY_CURRENT_USER\\" + path + "\\M]\n");
    std::string error;
    EXPECT_FALSE(emulated::UseRegistryFile(file, &error));
    EXPECT_NE(error.find("line 3: the key is more than 512 levels deep"), std::string::npos)
        << error;
}

} // namespace
