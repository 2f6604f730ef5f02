// The emulated registry's operations, checked against what the Windows NT
// registry answers: names without regard to case, creation of whole paths,
// the query and enumeration statuses, single-key deletion, stale handles,
// denied paths and injected faults.
#include "Control.h"
#include "Platform.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

class RegistryPlatform : public ::testing::Test {
  protected:
    void SetUp() override {
        emulated::ResetPlatform();
        emulated::UseRegistryFile("");
    }
    void TearDown() override { emulated::ResetPlatform(); }

    HKEY Create(HKEY root, const char* path, DWORD* disposition = nullptr) {
        HKEY key = reinterpret_cast<HKEY>(0xDEAD);
        DWORD ignored = 0;
        LONG status =
            platform::RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                      disposition != nullptr ? disposition : &ignored);
        EXPECT_EQ(status, ERROR_SUCCESS) << path;
        return key;
    }
    LONG CreateStatus(HKEY root, const char* path) {
        HKEY key = reinterpret_cast<HKEY>(0xDEAD);
        LONG status = platform::RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                                &key, nullptr);
        if (status == ERROR_SUCCESS) {
            platform::RegCloseKey(key);
        } else {
            EXPECT_EQ(key, nullptr);
        }
        return status;
    }
    LONG Set(HKEY key, const char* name, DWORD type, const std::string& bytes) {
        return platform::RegSetValueExA(key, name, 0, type,
                                        reinterpret_cast<const BYTE*>(bytes.data()),
                                        static_cast<DWORD>(bytes.size()));
    }
    // RegEnumKeyExA's status, with the name (or the size it left) after it.
    std::string Enum(HKEY key, DWORD index, DWORD nameSize) {
        char name[300];
        std::memset(name, 0xBD, sizeof name);
        LONG status = platform::RegEnumKeyExA(key, index, name, &nameSize, nullptr, nullptr,
                                              nullptr, nullptr);
        return std::to_string(status) + ":" +
               (status == ERROR_SUCCESS ? std::string(name) + "/" + std::to_string(nameSize)
                                        : std::to_string(nameSize));
    }
};

TEST_F(RegistryPlatform, CreateMakesEveryMissingKeyAndSaysWhetherItDid) {
    DWORD disposition = 0;
    HKEY key = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Corvanet\\Lumeno", &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    EXPECT_TRUE(emulated::RegistryKeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Corvanet"));
    HKEY again = Create(HKEY_LOCAL_MACHINE, "software\\CORVANET\\lumeno\\", &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    EXPECT_NE(again, key);
    EXPECT_EQ(emulated::RegistrySubKeyNames(HKEY_LOCAL_MACHINE, "Software"),
              std::vector<std::string>{"Corvanet"});
    EXPECT_EQ(emulated::OpenRegistryKeyCount(), 2);
    EXPECT_EQ(platform::RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(platform::RegCloseKey(again), ERROR_SUCCESS);
    EXPECT_EQ(platform::RegCloseKey(again), ERROR_INVALID_HANDLE);
    EXPECT_EQ(platform::RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
    EXPECT_EQ(emulated::OpenRegistryKeyCount(), 0);

    EXPECT_EQ(CreateStatus(HKEY_CURRENT_USER, "\\Leading"), ERROR_BAD_PATHNAME);
    EXPECT_EQ(CreateStatus(HKEY_CURRENT_USER, "Double\\\\Slash"), ERROR_SUCCESS);
    EXPECT_TRUE(emulated::RegistryKeyExists(HKEY_CURRENT_USER, "Double\\Slash"));
    EXPECT_EQ(CreateStatus(HKEY_CURRENT_USER, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(CreateStatus(reinterpret_cast<HKEY>(0x1234), "x"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(CreateStatus(nullptr, "x"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(CreateStatus(HKEY_CURRENT_USER, ""), ERROR_SUCCESS);
    EXPECT_FALSE(emulated::RegistryKeyExists(HKEY_CURRENT_USER, "Leading"));
}

TEST_F(RegistryPlatform, ValuesKeepTheirBytesTypeAndFirstCase) {
    HKEY key = Create(HKEY_CURRENT_USER, "Values");
    EXPECT_EQ(Set(key, "Mixed", REG_BINARY, std::string("\0a\0\xFF", 4)), ERROR_SUCCESS);
    EXPECT_EQ(Set(key, "MIXED", 0x12345678, "new"), ERROR_SUCCESS);
    EXPECT_EQ(Set(key, nullptr, REG_SZ, std::string("d\0", 2)), ERROR_SUCCESS);
    EXPECT_EQ(platform::RegSetValueExA(key, "null", 0, REG_BINARY, nullptr, 3), 998);
    EXPECT_EQ(emulated::RegistryValueNames(HKEY_CURRENT_USER, "values"),
              (std::vector<std::string>{"", "Mixed"}));

    DWORD type = 0;
    DWORD size = 0;
    EXPECT_EQ(platform::RegQueryValueExA(key, "mixed", nullptr, &type, nullptr, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, 0x12345678u);
    EXPECT_EQ(size, 3u);
    char data[8] = "xxxxxxx";
    size = 2;
    EXPECT_EQ(platform::RegQueryValueExA(key, "Mixed", nullptr, &type,
                                         reinterpret_cast<BYTE*>(data), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 3u);
    EXPECT_STREQ(data, "xxxxxxx");
    size = 3;
    EXPECT_EQ(platform::RegQueryValueExA(key, "Mixed", nullptr, &type,
                                         reinterpret_cast<BYTE*>(data), &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(data, "newxxxx");
    EXPECT_EQ(platform::RegQueryValueExA(key, "", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 2u);

    EXPECT_EQ(platform::RegQueryValueExA(key, "absent", nullptr, &type, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(platform::RegQueryValueExA(nullptr, "Mixed", nullptr, &type, nullptr, &size),
              ERROR_INVALID_HANDLE);
    EXPECT_EQ(platform::RegQueryValueExA(key, "Mixed", nullptr, &type,
                                         reinterpret_cast<BYTE*>(data), nullptr),
              ERROR_INVALID_PARAMETER);
    platform::RegCloseKey(key);
}

TEST_F(RegistryPlatform, PathsAreTextInTheAnsiCodePage) {
    // 0x95 0x5C and 0x83 0x5C are characters of code page 932 whose second
    // byte is the backslash code: Windows turns a path into Unicode before
    // it splits it, so they name keys of their own.
    const std::string first = "\x95\x5C";
    const std::string second = "\x83\x5C";
    const std::string path = "Top\\" + first + "\\" + second;
    emulated::SetCodePage(932);
    platform::RegCloseKey(Create(HKEY_CURRENT_USER, path.c_str()));
    EXPECT_EQ(emulated::RegistrySubKeyNames(HKEY_CURRENT_USER, "Top"),
              std::vector<std::string>{first});
    EXPECT_EQ(emulated::RegistrySubKeyNames(HKEY_CURRENT_USER, "Top\\" + first),
              std::vector<std::string>{second});
    HKEY top = Create(HKEY_CURRENT_USER, "Top");
    EXPECT_EQ(Enum(top, 0, 3), "0:" + first + "/2");
    platform::RegCloseKey(top);
    EXPECT_EQ(platform::RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str()), ERROR_SUCCESS);
    EXPECT_TRUE(emulated::RegistryKeyExists(HKEY_CURRENT_USER, "Top\\" + first));
    EXPECT_EQ(emulated::RegistrySubKeyNames(HKEY_CURRENT_USER, "Top\\" + first),
              std::vector<std::string>{});

    // In a single-byte code page the same bytes are two characters and a
    // separator each.
    emulated::SetCodePage(1252);
    platform::RegCloseKey(Create(HKEY_CURRENT_USER, ("Other\\" + first + "\\" + second).c_str()));
    EXPECT_EQ(emulated::RegistrySubKeyNames(HKEY_CURRENT_USER, "Other"),
              std::vector<std::string>{"\x95"});
    EXPECT_EQ(emulated::RegistrySubKeyNames(HKEY_CURRENT_USER, "Other\\\x95"),
              std::vector<std::string>{"\x83"});
}

TEST_F(RegistryPlatform, DeniedPathsAndInjectedFaults) {
    emulated::SeedRegistryValue(HKEY_LOCAL_MACHINE, "Locked\\Inner", "v", REG_SZ, "x");
    HKEY open = Create(HKEY_LOCAL_MACHINE, "Locked\\Inner");
    emulated::DenyRegistryAccess(HKEY_LOCAL_MACHINE, "LOCKED");
    EXPECT_EQ(CreateStatus(HKEY_LOCAL_MACHINE, "Locked"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(CreateStatus(HKEY_LOCAL_MACHINE, "Locked\\New"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(CreateStatus(HKEY_LOCAL_MACHINE, "LockedNot"), ERROR_SUCCESS);
    EXPECT_EQ(platform::RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Locked\\Inner"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Set(open, "v", REG_SZ, "y"), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(emulated::RegistryKeyExists(HKEY_LOCAL_MACHINE, "Locked\\New"));
    platform::RegCloseKey(open);

    const struct {
        emulated::FaultKind kind;
        LONG status;
    } faults[] = {{emulated::FaultKind::AccessDenied, ERROR_ACCESS_DENIED},
                  {emulated::FaultKind::InUse, ERROR_ACCESS_DENIED},
                  {emulated::FaultKind::NotFound, ERROR_FILE_NOT_FOUND},
                  {emulated::FaultKind::OutOfMemory, ERROR_OUTOFMEMORY}};
    for (const auto& fault : faults) {
        emulated::InjectFault(1, fault.kind, "RegCreateKeyExA");
        EXPECT_EQ(CreateStatus(HKEY_CURRENT_USER, "Faulty"), fault.status);
        EXPECT_FALSE(emulated::RegistryKeyExists(HKEY_CURRENT_USER, "Faulty"));
    }
    HKEY key = Create(HKEY_CURRENT_USER, "Faulty");
    emulated::InjectFault(1, emulated::FaultKind::OutOfMemory, "RegSetValueExA");
    EXPECT_EQ(Set(key, "v", REG_SZ, "x"), ERROR_OUTOFMEMORY);
    EXPECT_TRUE(emulated::RegistryValueNames(HKEY_CURRENT_USER, "Faulty").empty());
    emulated::InjectFault(1, emulated::FaultKind::AccessDenied, "RegCloseKey");
    EXPECT_EQ(platform::RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(emulated::OpenRegistryKeyCount(), 0);
}

} // namespace
