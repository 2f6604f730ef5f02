// Every entry point on a realistic scenario, run again and again with the Nth
// platform operation failing in each way it can fail, and with the Nth text
// allocation failing: every run ends, nothing escapes, the result is the one
// the entry point promises, nothing outside the scenario changes, and no key,
// listing or file is left open. (Leaks of memory are LeakSanitizer's, in the
// asan preset.)
#include "Control.h"
#include "Hooks.h"
#include "LeadBytes.h"
#include "TestSupport.h"
#include "TextMemory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

const char applicationKey[] = "Software\\Corvanet\\Lumeno";
const char uninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Corvanet VKT";
const char handlersKey[] = "*\\shellex\\ContextMenuHandlers";
const char approvedKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";

struct Bystander {
    HKEY root;
    const char* path;
};
// Keys beside the ones the module owns, which no run may touch.
const Bystander bystanders[] = {
    {HKEY_CURRENT_USER, "Software\\Corvanet\\Other"},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\Corvanet\\Other"},
    {HKEY_CLASSES_ROOT, "*\\shellex\\ContextMenuHandlers\\Other"},
    {HKEY_CLASSES_ROOT, "CLSID\\{00000000-1111-2222-3333-444444444444}"},
    {HKEY_LOCAL_MACHINE,
     "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved\\{other}"},
};

const emulated::FaultKind faultKinds[] = {emulated::FaultKind::AccessDenied,
                                          emulated::FaultKind::InUse, emulated::FaultKind::NotFound,
                                          emulated::FaultKind::OutOfMemory};

struct Scenario {
    const char* name;
    // Calls the entry point and answers its result.
    std::function<LONG()> call;
    // The result the entry point promises, given the operation that failed
    // ("" when none did).
    std::function<LONG(const std::string& failed)> expected;
};

LONG Always(LONG result, const std::string&) {
    return result;
}

class FaultInjection : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = MakeScratchFolder();
        Prepare();
    }
    void TearDown() override {
        FailTextAllocation(0);
        emulated::ResetPlatform();
        RemoveScratchFolder(folder);
    }

    // A fresh platform and the scenario's registry, files and answers.
    void Prepare() {
        FailTextAllocation(0);
        emulated::ResetPlatform();
        LoadLeadByteTableFor(1252);
        RemoveScratchFolder(folder + "/c");
        RunCommand("mkdir -p " + ShellQuoted(folder + "/c/Data/Lumeno/sub/deeper") + " " +
                   ShellQuoted(folder + "/c/Data/Outside"));
        const std::string data = folder + "/c/Data";
        WriteFileBytes(data + "/Lumeno/a.db", "records");
        WriteFileBytes(data + "/Lumeno/sub/b.db", "more");
        WriteFileBytes(data + "/Lumeno/sub/deeper/.hidden", "h");
        WriteFileBytes(data + "/Lumeno/readonly.db", "r");
        RunCommand("chmod a-w " + ShellQuoted(data + "/Lumeno/readonly.db"));
        RunCommand("ln -s ../Outside " + ShellQuoted(data + "/Lumeno/link"));
        WriteFileBytes(data + "/Outside/keep.txt", "outside");
        WriteFileBytes(data + "/Lumeno.txt", "sibling");
        WriteFileBytes(folder + "/c/settings.ini",
                       "Port=8080\r\nTitle=\"Main\"\r\nName = 5\n[Main]\nA=b=c\"\n");
        emulated::SetDriveFolder(folder);
        if (withRegistryFile) {
            std::remove((folder + "/registry.reg").c_str());
            ASSERT_TRUE(emulated::UseRegistryFile(folder + "/registry.reg"));
        }

        emulated::SeedRegistryValue(HKEY_CURRENT_USER, applicationKey, "dbPath", REG_SZ,
                                    std::string("C:\\Data\\Lumeno") + '\0');
        emulated::SeedRegistryValue(HKEY_CURRENT_USER, std::string(applicationKey) + "\\Deep\\Er",
                                    "x", REG_DWORD, std::string(4, '\1'));
        emulated::SeedRegistryKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Corvanet\\Lumeno\\Sub");
        emulated::SeedRegistryKey(HKEY_CLASSES_ROOT,
                                  "CLSID\\{5c3e9d21-7a40-4b6e-a9d2-13f0c8e47b65}\\InprocServer32");
        emulated::SeedRegistryKey(HKEY_CLASSES_ROOT, "VKTFile\\shell\\open\\command");
        emulated::SeedRegistryKey(HKEY_CLASSES_ROOT, std::string(handlersKey) + "\\VKTMenu");
        emulated::SeedRegistryKey(HKEY_LOCAL_MACHINE,
                                  std::string(approvedKey) +
                                      "\\{5c3e9d21-7a40-4b6e-a9d2-13f0c8e47b65}");
        emulated::SeedRegistryValue(
            HKEY_LOCAL_MACHINE, uninstallKey, "UninstallString", REG_SZ,
            std::string(
                "C:\\WINDOWS\\uninst.exe -f\"C:\\Program Files\\Corvanet\\VKT\\remove.log\"") +
                '\0');
        for (const Bystander& bystander : bystanders) {
            emulated::SeedRegistryValue(bystander.root, bystander.path, "kept", REG_SZ,
                                        std::string("yes") + '\0');
            emulated::SeedRegistryKey(bystander.root, std::string(bystander.path) + "\\Child");
        }
        emulated::ScriptAnswer(true);
    }

    // Everything a run must leave alone, as text.
    std::string Outside() {
        std::string state;
        for (const Bystander& bystander : bystanders) {
            DWORD type = 0;
            std::string bytes;
            bool present =
                emulated::ReadRegistryValue(bystander.root, bystander.path, "kept", type, bytes);
            state += std::string(bystander.path) + (present ? "=" + bytes : " missing") + "|" +
                     std::to_string(
                         emulated::RegistrySubKeyNames(bystander.root, bystander.path).size()) +
                     "\n";
        }
        state += ReadFileBytes(folder + "/c/Data/Outside/keep.txt") + "|" +
                 ReadFileBytes(folder + "/c/Data/Lumeno.txt") + "|" +
                 ReadFileBytes(folder + "/c/settings.ini");
        return state;
    }

    void ExpectNothingOpen(const std::string& run) {
        EXPECT_EQ(emulated::OpenRegistryKeyCount(), 0) << run;
        EXPECT_EQ(emulated::OpenSearchCount(), 0) << run;
        EXPECT_EQ(emulated::OpenFileCount(), 0) << run;
    }

    // A change the file refused is not in memory either: the registry as a
    // fresh process loads it is the one this process has.
    void ExpectFileAgreesWithMemory(const std::string& run) {
        if (!withRegistryFile) {
            return;
        }
        std::string memory = emulated::RegistryText();
        ASSERT_TRUE(emulated::UseRegistryFile(folder + "/registry.reg")) << run;
        EXPECT_EQ(emulated::RegistryText(), memory) << run;
    }

    // Runs the scenario once cleanly, then with each of its operations
    // failing in every way, then with each of its text allocations failing.
    void Sweep(const Scenario& scenario) {
        const std::string outside = Outside();
        long before = emulated::OperationCount();
        ResetTextAllocationCount();
        ASSERT_EQ(scenario.call(), scenario.expected("")) << scenario.name << " without a fault";
        long operations = emulated::OperationCount() - before;
        long allocations = TextAllocationCount();
        ASSERT_GT(operations, 0);
        EXPECT_EQ(Outside(), outside);
        ExpectNothingOpen(scenario.name);

        int faultsTaken = 0;
        for (long n = 1; n <= operations; ++n) {
            for (emulated::FaultKind kind : faultKinds) {
                Prepare();
                emulated::InjectFault(n, kind);
                LONG result = scenario.call();
                std::string failed = emulated::FaultedOperation();
                std::string run = std::string(scenario.name) + ", operation " + std::to_string(n) +
                                  " (" + failed + ") failing as fault kind " +
                                  std::to_string(static_cast<int>(kind));
                faultsTaken += failed.empty() ? 0 : 1;
                EXPECT_EQ(result, scenario.expected(failed)) << run;
                EXPECT_EQ(Outside(), outside) << run;
                // A close the platform refuses leaves its handle open; the
                // module cannot do better than close once.
                if (failed != "RegCloseKey" && failed != "FindClose" && failed != "CloseHandle") {
                    ExpectNothingOpen(run);
                }
                ExpectFileAgreesWithMemory(run);
            }
        }
        // Each operation of the clean run was reached and failed.
        EXPECT_EQ(faultsTaken, static_cast<int>(operations) * 4) << scenario.name;

        for (long n = 1; n <= allocations; ++n) {
            Prepare();
            FailTextAllocation(n);
            LONG result = scenario.call();
            FailTextAllocation(0);
            std::string run = std::string(scenario.name) + ", text allocation " + std::to_string(n);
            EXPECT_EQ(result, scenario.expected("")) << run;
            EXPECT_EQ(Outside(), outside) << run;
            ExpectNothingOpen(run);
        }
    }

    std::string folder;
    // Whether the registry is kept in a file, whose writes can fail too.
    bool withRegistryFile = false;
};

TEST_F(FaultInjection, IsWs2) {
    Sweep({"IsWs2", [] { return IsWs2(nullptr, 0, nullptr); },
           [](const std::string& failed) -> LONG {
               return failed == "GetSystemDirectoryA" || failed == "LoadLibraryExA" ||
                              failed == "GetProcAddress" || failed == "WSAStartup"
                          ? 0
                          : 1;
           }});
}

TEST_F(FaultInjection, UninstInitialize) {
    // A question box that cannot be shown was not answered Yes.
    Sweep({"UninstInitialize", [] { return UninstInitialize(nullptr, 0, nullptr); },
           [](const std::string& failed) -> LONG { return failed == "MessageBoxA" ? -1 : 0; }});
}

TEST_F(FaultInjection, UninstUnInitialize) {
    Sweep({"UninstUnInitialize", [] { return UninstUnInitialize(nullptr, 0, nullptr); },
           [](const std::string& failed) { return Always(0, failed); }});
}

TEST_F(FaultInjection, SetUninstallInfo) {
    Sweep({"SetUninstallInfo", [] { return SetUninstallInfo(nullptr, 0, nullptr); },
           [](const std::string& failed) { return Always(1, failed); }});
}

TEST_F(FaultInjection, GetVKTFolder) {
    Sweep({"GetVKTFolder",
           [] {
               char buffer[1000];
               std::memset(buffer, 0xBD, sizeof buffer);
               LONG result = GetVKTFolder(nullptr, 0, buffer);
               // Whatever failed, the host's buffer holds a text.
               return std::memchr(buffer, 0, sizeof buffer) != nullptr ? result : -99;
           },
           [](const std::string& failed) { return Always(1, failed); }});
}

TEST_F(FaultInjection, CleanupDatabase) {
    Sweep({"CleanupDatabase", [] { return CleanupDatabase(nullptr, 0, nullptr); },
           [](const std::string& failed) { return Always(1, failed); }});
}

TEST_F(FaultInjection, SetupServer) {
    Sweep({"SetupServer",
           [] {
               char path[] = "C:\\settings.ini";
               return SetupServer(nullptr, 0, path);
           },
           [](const std::string& failed) { return Always(0, failed); }});
}

TEST_F(FaultInjection, SetupServerIntoARegistryFile) {
    withRegistryFile = true;
    Prepare();
    Sweep({"SetupServer",
           [] {
               char path[] = "C:\\settings.ini";
               return SetupServer(nullptr, 0, path);
           },
           [](const std::string& failed) { return Always(0, failed); }});
}

} // namespace
