// The registry value family on the emulated registry: what each reader
// accepts, that no read goes past its buffer, the bytes each writer stores,
// and that every call leaves its key closed.
#include "Control.h"
#include "Platform.h"
#include "RegistryValues.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

const char sandbox[] = "Software\\GantrelTest";

class RegistryValues : public ::testing::Test {
  protected:
    void SetUp() override {
        emulated::ResetPlatform();
        emulated::UseRegistryFile("");
    }
    void TearDown() override {
        EXPECT_EQ(emulated::OpenRegistryKeyCount(), 0) << "a key handle was left open";
        emulated::ResetPlatform();
    }

    void Seed(const char* name, DWORD type, const std::string& bytes) {
        emulated::SeedRegistryValue(HKEY_CURRENT_USER, sandbox, name, type, bytes);
    }
    std::string Stored(const char* name, DWORD* type = nullptr) {
        DWORD storedType = 0;
        std::string bytes;
        if (!emulated::ReadRegistryValue(HKEY_CURRENT_USER, sandbox, name, storedType, bytes)) {
            return "absent";
        }
        if (type != nullptr) {
            *type = storedType;
        }
        return bytes;
    }
};

// A buffer filled with 0xBD, so that any byte written can be seen.
std::vector<char> Sentinel(std::size_t size) {
    return std::vector<char>(size, static_cast<char>(0xBD));
}

TEST_F(RegistryValues, OpenRegKeyCreatesTheWholePathAndDefaultsToTheServiceKey) {
    HKEY key = OpenRegKey("Software\\A\\B\\C", HKEY_LOCAL_MACHINE);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(platform::RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_TRUE(emulated::RegistryKeyExists(HKEY_LOCAL_MACHINE, "Software\\A\\B\\C"));

    key = OpenRegKey(nullptr, HKEY_CLASSES_ROOT);
    ASSERT_NE(key, nullptr);
    platform::RegCloseKey(key);
    EXPECT_TRUE(emulated::RegistryKeyExists(HKEY_CLASSES_ROOT,
                                            "SYSTEM\\CurrentControlSet\\Services\\LUMENO Service"));

    emulated::DenyRegistryAccess(HKEY_CURRENT_USER, "Locked");
    EXPECT_EQ(OpenRegKey("Locked\\Below", HKEY_CURRENT_USER), nullptr);
    EXPECT_EQ(OpenRegKey("x", reinterpret_cast<HKEY>(0x4321)), nullptr);
}

TEST_F(RegistryValues, StringsRoundTripWithTheirTerminator) {
    EXPECT_EQ(WriteRegString(sandbox, "Title", "Main", HKEY_CURRENT_USER), 1);
    DWORD type = 0;
    EXPECT_EQ(Stored("Title", &type), std::string("Main\0", 5));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(WriteRegString(sandbox, "Empty", "", HKEY_CURRENT_USER), 1);
    EXPECT_EQ(Stored("Empty"), std::string("\0", 1));
    EXPECT_EQ(WriteRegString(sandbox, "", "unnamed", HKEY_CURRENT_USER), 1);
    EXPECT_EQ(Stored(""), std::string("unnamed\0", 8));

    std::vector<char> buffer = Sentinel(16);
    EXPECT_EQ(ReadRegString(sandbox, "title", buffer.data(), 16, HKEY_CURRENT_USER), 1);
    EXPECT_EQ(std::string(buffer.data(), 6), std::string("Main\0\xBD", 6));
}

TEST_F(RegistryValues, StringReadsStopAtTheCapacity) {
    Seed("Fits", REG_SZ, std::string(999, 'f') + '\0');
    Seed("TooLong", REG_SZ, std::string(1000, 't') + '\0');
    std::vector<char> buffer = Sentinel(1001);
    EXPECT_EQ(ReadRegString(sandbox, "Fits", buffer.data(), 1000, HKEY_CURRENT_USER), 1);
    EXPECT_EQ(std::strlen(buffer.data()), 999u);

    buffer = Sentinel(1001);
    EXPECT_EQ(ReadRegString(sandbox, "TooLong", buffer.data(), 1000, HKEY_CURRENT_USER), 0);
    EXPECT_EQ(buffer, Sentinel(1001)) << "a failed read changed the buffer";

    // A text stored without its terminator arrives without one.
    Seed("Bare", REG_SZ, "abc");
    buffer = Sentinel(8);
    EXPECT_EQ(ReadRegString(sandbox, "Bare", buffer.data(), 8, HKEY_CURRENT_USER), 1);
    EXPECT_EQ(std::string(buffer.data(), 4), "abc\xBD");
}

TEST_F(RegistryValues, ReadersAcceptOnlyTheirOwnType) {
    Seed("Expand", REG_EXPAND_SZ, std::string("%TEMP%\0", 7));
    Seed("Multi", REG_MULTI_SZ, std::string("a\0b\0\0", 5));
    Seed("Binary", REG_BINARY, std::string("\x01\x02\x03\x04", 4));
    Seed("Number", REG_DWORD, std::string("\x01\x02\x03\x04", 4));
    std::vector<char> buffer = Sentinel(64);
    EXPECT_EQ(ReadRegString(sandbox, "Expand", buffer.data(), 64, HKEY_CURRENT_USER), 0);
    EXPECT_EQ(ReadRegString(sandbox, "Multi", buffer.data(), 64, HKEY_CURRENT_USER), 0);
    EXPECT_EQ(ReadRegMultiString(sandbox, "Expand", buffer.data(), 64, HKEY_CURRENT_USER), 0);
    EXPECT_EQ(buffer, Sentinel(64));
    EXPECT_EQ(ReadRegMultiString(sandbox, "Multi", buffer.data(), 64, HKEY_CURRENT_USER), 1);
    EXPECT_EQ(std::string(buffer.data(), 6), std::string("a\0b\0\0\xBD", 6));

    BYTE block[8];
    EXPECT_EQ(ReadRegBlock(sandbox, "Number", block, 8, HKEY_CURRENT_USER), 0);
    uint32_t four = 7;
    EXPECT_EQ(ReadRegBytes4(sandbox, "Number", &four, HKEY_CURRENT_USER), 0);
    LONG number = 7;
    EXPECT_EQ(ReadRegLong(sandbox, "Binary", &number, HKEY_CURRENT_USER), 0);
    EXPECT_EQ(four, 7u);
    EXPECT_EQ(number, 7);
}

TEST_F(RegistryValues, BinaryReaders) {
    Seed("Block", REG_BINARY, std::string("\x00\xFF\x00\x10\x20", 5));
    std::vector<char> buffer = Sentinel(8);
    BYTE* bytes = reinterpret_cast<BYTE*>(buffer.data());
    EXPECT_EQ(ReadRegBlock(sandbox, "Block", bytes, 5, HKEY_CURRENT_USER), 1);
    EXPECT_EQ(std::string(buffer.data(), 6), std::string("\x00\xFF\x00\x10\x20\xBD", 6));
    buffer = Sentinel(8);
    EXPECT_EQ(ReadRegBlock(sandbox, "Block", bytes, 4, HKEY_CURRENT_USER), 0);
    EXPECT_EQ(buffer, Sentinel(8));

    Seed("Four", REG_BINARY, std::string("\x78\x56\x34\x12", 4));
    Seed("Eight", REG_BINARY, std::string("\x08\x07\x06\x05\x04\x03\x02\x01", 8));
    uint32_t four = 0;
    uint64_t eight = 0;
    EXPECT_EQ(ReadRegBytes4(sandbox, "Four", &four, HKEY_CURRENT_USER), 1);
    EXPECT_EQ(four, 0x12345678u);
    EXPECT_EQ(ReadRegBytes8(sandbox, "Eight", &eight, HKEY_CURRENT_USER), 1);
    EXPECT_EQ(eight, 0x0102030405060708ull);
    // Exactly 4 or 8 bytes, never more or fewer.
    four = 1;
    eight = 1;
    EXPECT_EQ(ReadRegBytes4(sandbox, "Block", &four, HKEY_CURRENT_USER), 0);
    EXPECT_EQ(ReadRegBytes8(sandbox, "Four", &eight, HKEY_CURRENT_USER), 0);
    EXPECT_EQ(ReadRegBytes4(sandbox, "Eight", &four, HKEY_CURRENT_USER), 0);
    EXPECT_EQ(four, 1u);
    EXPECT_EQ(eight, 1u);
}

TEST_F(RegistryValues, ReadRegLongNeverWritesPastItsFourBytes) {
    Seed("Port", REG_DWORD, std::string("\x90\x1F\x00\x00", 4));
    Seed("Wide", REG_DWORD, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8));
    Seed("Short", REG_DWORD, std::string("\x34\x12", 2));
    struct {
        LONG value;
        char after[4];
    } destination = {-5, {'a', 'b', 'c', 'd'}};
    EXPECT_EQ(ReadRegLong(sandbox, "Port", &destination.value, HKEY_CURRENT_USER), 1);
    EXPECT_EQ(destination.value, 8080);
    EXPECT_EQ(ReadRegLong(sandbox, "Wide", &destination.value, HKEY_CURRENT_USER), 0);
    EXPECT_EQ(destination.value, 8080);
    EXPECT_EQ(std::string(destination.after, 4), "abcd");
    destination.value = static_cast<LONG>(0xAABBCCDDu);
    EXPECT_EQ(ReadRegLong(sandbox, "Short", &destination.value, HKEY_CURRENT_USER), 1);
    EXPECT_EQ(static_cast<uint32_t>(destination.value), 0xAABB1234u);
}

TEST_F(RegistryValues, WritersStoreExactlyTheirBytes) {
    EXPECT_EQ(WriteRegLong(sandbox, "Minus", -1, HKEY_CURRENT_USER), 1);
    EXPECT_EQ(WriteRegLong(sandbox, "Port", 8080, HKEY_CURRENT_USER), 1);
    const BYTE block[] = {0, 1, 0, 0xFF};
    EXPECT_EQ(WriteRegBlock(sandbox, "Block", block, 4, HKEY_CURRENT_USER), 1);
    EXPECT_EQ(WriteRegBlock(sandbox, "Nothing", nullptr, 0, HKEY_CURRENT_USER), 1);
    EXPECT_EQ(WriteRegBytes4(sandbox, "Four", 0x12345678u, HKEY_CURRENT_USER), 1);
    EXPECT_EQ(WriteRegBytes8(sandbox, "Eight", 0x0102030405060708ull, HKEY_CURRENT_USER), 1);
    EXPECT_EQ(WriteRegMultiString(sandbox, "Multi", "one\0two\0\0", 9, HKEY_CURRENT_USER), 1);

    DWORD type = 0;
    EXPECT_EQ(Stored("Minus", &type), "\xFF\xFF\xFF\xFF");
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(Stored("Port"), std::string("\x90\x1F\x00\x00", 4));
    EXPECT_EQ(Stored("Block", &type), std::string("\x00\x01\x00\xFF", 4));
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(Stored("Nothing"), "");
    EXPECT_EQ(Stored("Four"), "\x78\x56\x34\x12");
    EXPECT_EQ(Stored("Eight"), "\x08\x07\x06\x05\x04\x03\x02\x01");
    EXPECT_EQ(Stored("Multi", &type), std::string("one\0two\0\0", 9));
    EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));

    // Written values read back through the family.
    LONG number = 0;
    EXPECT_EQ(ReadRegLong(sandbox, "Minus", &number, HKEY_CURRENT_USER), 1);
    EXPECT_EQ(number, -1);
}

TEST_F(RegistryValues, ReadsOfWhatIsNotThereFailButLeaveTheKeys) {
    char buffer[8] = "keep";
    EXPECT_EQ(ReadRegString("Software\\Nowhere\\Deep", "x", buffer, 8, HKEY_LOCAL_MACHINE), 0);
    EXPECT_STREQ(buffer, "keep");
    EXPECT_TRUE(emulated::RegistryKeyExists(HKEY_LOCAL_MACHINE, "Software\\Nowhere\\Deep"));
    LONG number = 3;
    EXPECT_EQ(ReadRegLong(sandbox, "missing", &number, HKEY_CURRENT_USER), 0);
    EXPECT_EQ(number, 3);
}

TEST_F(RegistryValues, WhereTheKeyCannotBeOpenedEverythingFails) {
    emulated::DenyRegistryAccess(HKEY_CURRENT_USER, sandbox);
    char buffer[8] = "keep";
    EXPECT_EQ(ReadRegString(sandbox, "x", buffer, 8, HKEY_CURRENT_USER), 0);
    EXPECT_EQ(WriteRegString(sandbox, "x", "y", HKEY_CURRENT_USER), 0);
    EXPECT_EQ(WriteRegLong(sandbox, "x", 1, HKEY_CURRENT_USER), 0);
    EXPECT_EQ(WriteRegBytes8(sandbox, "x", 1, HKEY_CURRENT_USER), 0);
    EXPECT_STREQ(buffer, "keep");

    // The query is still made once, on the null handle, and not repeated.
    DWORD size = 8;
    long before = emulated::OperationCount();
    EXPECT_EQ(QueryRegValue(sandbox, "x", nullptr, nullptr, nullptr, &size, HKEY_CURRENT_USER),
              ERROR_INVALID_HANDLE);
    EXPECT_EQ(emulated::OperationCount() - before, 2); // the create and one query
}

TEST_F(RegistryValues, QueryRetriesOnceWithTheSizeTheCallerGave) {
    Seed("Ten", REG_BINARY, "0123456789");
    // The first query fails and says how much it needs; the retry asks for
    // the same four bytes again and fails the same way.
    std::vector<char> buffer = Sentinel(12);
    DWORD size = 4;
    DWORD type = 0;
    long before = emulated::OperationCount();
    EXPECT_EQ(QueryRegValue(sandbox, "Ten", nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                            &size, HKEY_CURRENT_USER),
              ERROR_MORE_DATA);
    EXPECT_EQ(emulated::OperationCount() - before, 4); // create, two queries, close
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(buffer, Sentinel(12));

    // A query that fails once for a passing reason succeeds on the retry.
    emulated::InjectFault(1, emulated::FaultKind::InUse, "RegQueryValueExA");
    size = 12;
    EXPECT_EQ(QueryRegValue(sandbox, "Ten", nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                            &size, HKEY_CURRENT_USER),
              ERROR_SUCCESS);
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(std::string(buffer.data(), 10), "0123456789");
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
}

TEST_F(RegistryValues, AnOpenKeyServesAsRoot) {
    HKEY key = OpenRegKey(sandbox, HKEY_CURRENT_USER);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(WriteRegLong("Child", "n", 42, key), 1);
    LONG number = 0;
    EXPECT_EQ(ReadRegLong("Child", "N", &number, key), 1);
    EXPECT_EQ(number, 42);
    platform::RegCloseKey(key);
    EXPECT_TRUE(emulated::RegistryKeyExists(HKEY_CURRENT_USER, "software\\gantreltest\\child"));
}

} // namespace
