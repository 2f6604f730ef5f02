// DeleteRegKeyTree and UninstUnInitialize on the emulated registry, whose
// single delete refuses a key with sub-keys, as Windows NT's does.
#include "Control.h"
#include "Hooks.h"
#include "LeadBytes.h"
#include "Platform.h"
#include "RegistryKeyTree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Names = std::vector<std::string>;

const char applicationKey[] = "Software\\Corvanet\\Lumeno";
const char classKey[] = "CLSID\\{5c3e9d21-7a40-4b6e-a9d2-13f0c8e47b65}";
const char handlersKey[] = "*\\shellex\\ContextMenuHandlers";
const char approvedKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
const char classIdentifier[] = "{5c3e9d21-7a40-4b6e-a9d2-13f0c8e47b65}";

class KeyTreeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        emulated::ResetPlatform();
        LoadLeadByteTableFor(1252);
    }
    void TearDown() override {
        EXPECT_EQ(emulated::OpenRegistryKeyCount(), 0) << "a key handle was left open";
        emulated::ResetPlatform();
    }

    static void SeedTree(HKEY root, const std::string& path, int depth, int width) {
        emulated::SeedRegistryValue(root, path, "Value", REG_SZ, std::string("v\0", 2));
        emulated::SeedRegistryValue(root, path, "", REG_DWORD, std::string("\1\0\0\0", 4));
        if (depth == 0) {
            return;
        }
        for (int i = 0; i < width; ++i) {
            SeedTree(root, path + "\\Level" + std::to_string(depth) + "_" + std::to_string(i),
                     depth - 1, width);
        }
    }
};

using DeleteKeyTree = KeyTreeTest;
using DeleteKeyTreeEnds = KeyTreeTest;
using RegistrationRemoval = KeyTreeTest;

TEST_F(DeleteKeyTree, RemovesAKeyWithoutSubKeys) {
    emulated::SeedRegistryValue(HKEY_CURRENT_USER, "Parent\\Leaf", "x", REG_SZ,
                                std::string("1\0", 2));
    EXPECT_EQ(DeleteRegKeyTree("Parent\\Leaf", HKEY_CURRENT_USER), 0);
    EXPECT_FALSE(emulated::RegistryKeyExists(HKEY_CURRENT_USER, "Parent\\Leaf"));
    EXPECT_TRUE(emulated::RegistryKeyExists(HKEY_CURRENT_USER, "Parent"));
}

TEST_F(DeleteKeyTree, RemovesATreeThreeLevelsDeepWithItsValues) {
    SeedTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Corvanet\\Lumeno", 3, 3);
    emulated::SeedRegistryKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Corvanet\\Other");
    EXPECT_EQ(DeleteRegKeyTree("SOFTWARE\\Corvanet\\Lumeno", HKEY_LOCAL_MACHINE), 0);
    EXPECT_FALSE(emulated::RegistryKeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Corvanet\\Lumeno"));
    EXPECT_EQ(emulated::RegistrySubKeyNames(HKEY_LOCAL_MACHINE, "SOFTWARE\\Corvanet"),
              Names{"Other"});
}

TEST_F(DeleteKeyTree, AMissingPathLeavesItsParentsBehind) {
    EXPECT_EQ(DeleteRegKeyTree("Software\\Missing\\Deeper\\Key", HKEY_CURRENT_USER), 0);
    EXPECT_FALSE(emulated::RegistryKeyExists(HKEY_CURRENT_USER, "Software\\Missing\\Deeper\\Key"));
    EXPECT_TRUE(emulated::RegistryKeyExists(HKEY_CURRENT_USER, "Software\\Missing\\Deeper"));
}

TEST_F(DeleteKeyTree, NamesUpTo49BytesFitTheEnumeration) {
    std::string fits(49, 'n');
    emulated::SeedRegistryKey(HKEY_CURRENT_USER, std::string("Top\\") + fits + "\\Below");
    EXPECT_EQ(DeleteRegKeyTree("Top", HKEY_CURRENT_USER), 0);
    EXPECT_FALSE(emulated::RegistryKeyExists(HKEY_CURRENT_USER, "Top"));
}

TEST_F(DeleteKeyTree, MultiByteNamesAreJoinedByteForByte) {
    LoadLeadByteTableFor(932);
    emulated::SetCodePage(932);
    std::string name = "\x95\x5C\x83\x65"; // second bytes 0x5C and 0x65
    emulated::SeedRegistryKey(HKEY_CURRENT_USER, "Top\\" + name + "\\Child");
    ASSERT_EQ(emulated::RegistrySubKeyNames(HKEY_CURRENT_USER, "Top"), Names{name});
    EXPECT_EQ(DeleteRegKeyTree("Top", HKEY_CURRENT_USER), 0);
    EXPECT_FALSE(emulated::RegistryKeyExists(HKEY_CURRENT_USER, "Top"));
}

// Keys named in scripts the ANSI code page cannot carry: the ANSI calls see
// '?' for those characters, a name that reaches nothing.
TEST_F(DeleteKeyTree, NamesOutsideTheCodePageGoWithEverythingBelow) {
    const char* const names[] = {"日本語", "Łódź", "한국어", "Ελληνικά", "😀 emoji", "中文"};
    for (UINT codePage : {1252u, 932u}) {
        SCOPED_TRACE(codePage);
        emulated::ResetPlatform();
        emulated::SetCodePage(codePage);
        LoadLeadByteTableFor(codePage);
        const std::string top = std::string(applicationKey) + "\\";
        for (const char* name : names) {
            emulated::SeedRegistryKeyUtf8(HKEY_CURRENT_USER, top + name + "\\Inner\\" + name);
            emulated::SeedRegistryKeyUtf8(HKEY_CURRENT_USER, top + "Plain\\" + name + "\\x");
        }
        emulated::SeedRegistryKey(HKEY_CURRENT_USER, top + std::string(49, 'n'));
        emulated::SeedRegistryKeyUtf8(HKEY_CURRENT_USER, "Software\\Corvanet\\Lumeno日本語");
        emulated::SeedRegistryKeyUtf8(HKEY_CURRENT_USER, "Software\\Corvanet\\Keep\\Łódź");

        EXPECT_EQ(DeleteRegKeyTree(applicationKey, HKEY_CURRENT_USER), 0);
        EXPECT_FALSE(emulated::RegistryKeyExists(HKEY_CURRENT_USER, applicationKey));
        // Nothing beside it touched, and no key of a '?' name made on the way.
        EXPECT_EQ(emulated::RegistrySubKeyNamesUtf8(HKEY_CURRENT_USER, "Software\\Corvanet"),
                  (Names{"Keep", "Lumeno日本語"}));
        EXPECT_EQ(emulated::RegistrySubKeyNamesUtf8(HKEY_CURRENT_USER, "Software\\Corvanet\\Keep"),
                  Names{"Łódź"});
    }
}

TEST_F(DeleteKeyTreeEnds, ANameOf50BytesStopsTheLevelBesideNamesOutsideTheCodePage) {
    std::string tooLong(50, 'n');
    emulated::SeedRegistryKey(HKEY_CURRENT_USER, "Top\\" + tooLong);
    emulated::SeedRegistryKeyUtf8(HKEY_CURRENT_USER, "Top\\日本語\\Below");
    emulated::SeedRegistryKeyUtf8(HKEY_CURRENT_USER, "Top\\a\\Ελληνικά");
    // "a" sorts first and goes; the 50-byte name ends the level before the
    // Japanese one is reached.
    EXPECT_EQ(DeleteRegKeyTree("Top", HKEY_CURRENT_USER), -1);
    EXPECT_EQ(emulated::RegistrySubKeyNamesUtf8(HKEY_CURRENT_USER, "Top"),
              (Names{tooLong, "日本語"}));
}

TEST_F(DeleteKeyTreeEnds, AKeyOutsideTheCodePageThatDeniesAccessEndsTheWalk) {
    emulated::SeedRegistryKeyUtf8(HKEY_CURRENT_USER, "Top\\日本語\\Inside");
    emulated::SeedRegistryKeyUtf8(HKEY_CURRENT_USER, "Top\\Łódź");
    emulated::SeedRegistryKeyUtf8(HKEY_CURRENT_USER, "Top\\Alpha");
    // Named in code page 932, which carries it; walked in 1252, which does not.
    emulated::SetCodePage(932);
    emulated::DenyRegistryAccess(HKEY_CURRENT_USER, "Top\\\x93\xFA\x96\x7B\x8C\xEA");
    emulated::SetCodePage(1252);
    EXPECT_EQ(DeleteRegKeyTree("Top", HKEY_CURRENT_USER), -1);
    EXPECT_TRUE(emulated::RegistryKeyExistsUtf8(HKEY_CURRENT_USER, "Top\\日本語\\Inside"));
    EXPECT_EQ(emulated::RegistrySubKeyNamesUtf8(HKEY_CURRENT_USER, "Top"), Names{"日本語"});
}

TEST_F(DeleteKeyTreeEnds, AFailingWideCallEndsTheWalkAndLeavesNoKeyOpen) {
    const struct {
        const char* operation;
        LONG result; // a failed first delete is made up for by the walk
    } faults[] = {{"RegEnumKeyExW", -1}, {"RegOpenKeyExW", -1}, {"RegDeleteKeyW", 0}};
    for (const auto& fault : faults) {
        SCOPED_TRACE(fault.operation);
        emulated::SeedRegistryKeyUtf8(HKEY_CURRENT_USER, "Top\\日本語\\Łódź\\x");
        emulated::InjectFault(1, emulated::FaultKind::AccessDenied, fault.operation);
        LONG expected = fault.result;
        EXPECT_EQ(DeleteRegKeyTree("Top", HKEY_CURRENT_USER), expected);
        EXPECT_EQ(emulated::RegistryKeyExistsUtf8(HKEY_CURRENT_USER, "Top\\日本語"), expected != 0);
        EXPECT_EQ(emulated::OpenRegistryKeyCount(), 0);
        emulated::ClearFaults();
        EXPECT_EQ(DeleteRegKeyTree("Top", HKEY_CURRENT_USER), 0);
        EXPECT_FALSE(emulated::RegistryKeyExists(HKEY_CURRENT_USER, "Top"));
    }
}

TEST_F(DeleteKeyTreeEnds, ANameOf50BytesStopsTheLevel) {
    std::string tooLong(50, 'n');
    emulated::SeedRegistryKey(HKEY_CURRENT_USER, "Top\\" + tooLong + "\\Below");
    emulated::SeedRegistryKey(HKEY_CURRENT_USER, "Top\\aShort");
    EXPECT_EQ(DeleteRegKeyTree("Top", HKEY_CURRENT_USER), -1);
    EXPECT_EQ(emulated::RegistrySubKeyNames(HKEY_CURRENT_USER, "Top"), Names{tooLong});
    EXPECT_TRUE(emulated::RegistryKeyExists(HKEY_CURRENT_USER, "Top\\" + tooLong + "\\Below"));
}

// Enumerated, the name of "\0hidden" is cut short at its zero: empty, it
// would name Top itself, whose walk would meet it again, level after level.
TEST_F(DeleteKeyTreeEnds, ANameCutShortByAZeroIsNeverTakenForItsParent) {
    emulated::SeedRegistryKeyUtf8(HKEY_CURRENT_USER, std::string("Top\\\0hidden\\Below", 17));
    EXPECT_EQ(DeleteRegKeyTree("Top", HKEY_CURRENT_USER), -1);
    EXPECT_TRUE(emulated::RegistryKeyExists(HKEY_CURRENT_USER, "Top"));
}

TEST_F(DeleteKeyTreeEnds, ALongNameDeeperDownEndsTheWalkAbove) {
    std::string tooLong(60, 'n');
    emulated::SeedRegistryKey(HKEY_CURRENT_USER, "Top\\Middle\\" + tooLong);
    emulated::SeedRegistryKey(HKEY_CURRENT_USER, "Top\\Other");
    EXPECT_EQ(DeleteRegKeyTree("Top\\Middle", HKEY_CURRENT_USER), -1);
    // "Middle" cannot go and is met again first: the walk ends rather than
    // handing it down forever. What sorts before it went.
    EXPECT_EQ(DeleteRegKeyTree("Top", HKEY_CURRENT_USER), -1);
    EXPECT_TRUE(emulated::RegistryKeyExists(HKEY_CURRENT_USER, "Top\\Middle\\" + tooLong));
    EXPECT_TRUE(emulated::RegistryKeyExists(HKEY_CURRENT_USER, "Top\\Other"));
}

TEST_F(DeleteKeyTreeEnds, AKeyThatDeniesAccessEndsTheWalk) {
    emulated::SeedRegistryKey(HKEY_CURRENT_USER, "Top\\Guarded\\Inside");
    emulated::SeedRegistryKey(HKEY_CURRENT_USER, "Top\\Alpha\\Inside");
    emulated::DenyRegistryAccess(HKEY_CURRENT_USER, "Top\\Guarded");
    int result = DeleteRegKeyTree("Top", HKEY_CURRENT_USER);
    EXPECT_TRUE(emulated::RegistryKeyExists(HKEY_CURRENT_USER, "Top\\Guarded\\Inside"));
    EXPECT_FALSE(emulated::RegistryKeyExists(HKEY_CURRENT_USER, "Top\\Alpha"));
    EXPECT_EQ(result, -1);
}

// The walk asks for index 0 alone, and the emulation answers no other: a
// walk that ever asked for another would fail at once, and say why.
TEST_F(DeleteKeyTreeEnds, AnotherIndexIsRefusedAloud) {
    emulated::SeedRegistryKey(HKEY_CURRENT_USER, "Top\\a");
    HKEY top = nullptr;
    ASSERT_EQ(platform::RegOpenKeyExA(HKEY_CURRENT_USER, "Top", 0, KEY_ALL_ACCESS, &top),
              ERROR_SUCCESS);
    char name[8];
    DWORD size = sizeof name;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(platform::RegEnumKeyExA(top, 1, name, &size, nullptr, nullptr, nullptr, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("index 0 only"), std::string::npos);
    EXPECT_EQ(platform::RegEnumKeyExA(top, 0, name, &size, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_STREQ(name, "a");
    platform::RegCloseKey(top);
}

TEST_F(DeleteKeyTreeEnds, AKeyThatCannotBeOpenedAnswersMinusOne) {
    emulated::SeedRegistryKey(HKEY_CURRENT_USER, "Top\\Guarded\\Inside");
    emulated::DenyRegistryAccess(HKEY_CURRENT_USER, "Top\\Guarded");
    EXPECT_EQ(DeleteRegKeyTree("Top\\Guarded", HKEY_CURRENT_USER), -1);
    EXPECT_TRUE(emulated::RegistryKeyExists(HKEY_CURRENT_USER, "Top\\Guarded\\Inside"));
}

TEST_F(RegistrationRemoval, RemovesTheSixKeysAndKeepsTheirNeighbours) {
    SeedTree(HKEY_CURRENT_USER, applicationKey, 3, 2);
    SeedTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Corvanet\\Lumeno", 3, 2);
    SeedTree(HKEY_CLASSES_ROOT, classKey, 2, 2);
    SeedTree(HKEY_CLASSES_ROOT, "VKTFile", 2, 1);
    emulated::SeedRegistryValue(HKEY_CLASSES_ROOT, std::string(handlersKey) + "\\VKTMenu", "",
                                REG_SZ, std::string(classIdentifier) + '\0');
    emulated::SeedRegistryKey(HKEY_CLASSES_ROOT, std::string(handlersKey) + "\\OtherHandler");
    emulated::SeedRegistryValue(HKEY_LOCAL_MACHINE, approvedKey, classIdentifier, REG_SZ,
                                std::string("Lumeno\0", 7));
    emulated::SeedRegistryKey(HKEY_LOCAL_MACHINE,
                              std::string(approvedKey) + "\\" + classIdentifier);
    emulated::SeedRegistryKey(HKEY_LOCAL_MACHINE, std::string(approvedKey) + "\\{other}");
    emulated::SeedRegistryValue(HKEY_CURRENT_USER, "Software\\Corvanet\\Keep", "k", REG_SZ,
                                std::string("1\0", 2));

    EXPECT_EQ(UninstUnInitialize(nullptr, 0, nullptr), 0);

    EXPECT_FALSE(emulated::RegistryKeyExists(HKEY_CURRENT_USER, applicationKey));
    EXPECT_FALSE(emulated::RegistryKeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Corvanet\\Lumeno"));
    EXPECT_FALSE(emulated::RegistryKeyExists(HKEY_CLASSES_ROOT, classKey));
    EXPECT_FALSE(emulated::RegistryKeyExists(HKEY_CLASSES_ROOT, "VKTFile"));
    EXPECT_EQ(emulated::RegistrySubKeyNames(HKEY_CLASSES_ROOT, handlersKey), Names{"OtherHandler"});
    EXPECT_EQ(emulated::RegistrySubKeyNames(HKEY_LOCAL_MACHINE, approvedKey), Names{"{other}"});
    // Only keys go: the approval value of the same name stays.
    EXPECT_EQ(emulated::RegistryValueNames(HKEY_LOCAL_MACHINE, approvedKey),
              Names{classIdentifier});
    EXPECT_EQ(emulated::RegistrySubKeyNames(HKEY_CURRENT_USER, "Software\\Corvanet"),
              Names{"Keep"});
}

TEST_F(RegistrationRemoval, OnAnEmptyRegistryLeavesOnlyTheParentsItOpened) {
    EXPECT_EQ(UninstUnInitialize(nullptr, 0, nullptr), 0);
    EXPECT_FALSE(emulated::RegistryKeyExists(HKEY_CURRENT_USER, applicationKey));
    EXPECT_FALSE(emulated::RegistryKeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Corvanet\\Lumeno"));
    EXPECT_FALSE(emulated::RegistryKeyExists(HKEY_CLASSES_ROOT, classKey));
    EXPECT_FALSE(emulated::RegistryKeyExists(HKEY_CLASSES_ROOT, "VKTFile"));
    EXPECT_TRUE(emulated::RegistryKeyExists(HKEY_CURRENT_USER, "Software\\Corvanet"));
    EXPECT_TRUE(emulated::RegistryKeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Corvanet"));
    EXPECT_TRUE(emulated::RegistryKeyExists(HKEY_CLASSES_ROOT, "CLSID"));
    EXPECT_TRUE(emulated::RegistryKeyExists(HKEY_CLASSES_ROOT, handlersKey));
    EXPECT_TRUE(emulated::RegistryKeyExists(HKEY_LOCAL_MACHINE, approvedKey));
    EXPECT_EQ(emulated::RegistrySubKeyNames(HKEY_CLASSES_ROOT, handlersKey), Names{});
}

TEST_F(RegistrationRemoval, AFailingRowDoesNotStopTheOthers) {
    SeedTree(HKEY_CURRENT_USER, applicationKey, 1, 2);
    emulated::DenyRegistryAccess(HKEY_CURRENT_USER, applicationKey);
    emulated::SeedRegistryKey(HKEY_CLASSES_ROOT, "VKTFile\\shell\\open");
    emulated::SeedRegistryKey(HKEY_CLASSES_ROOT, std::string(handlersKey) + "\\VKTMenu");
    EXPECT_EQ(UninstUnInitialize(nullptr, 0, nullptr), 0);
    EXPECT_TRUE(emulated::RegistryKeyExists(HKEY_CURRENT_USER, applicationKey));
    EXPECT_FALSE(emulated::RegistryKeyExists(HKEY_CLASSES_ROOT, "VKTFile"));
    EXPECT_FALSE(
        emulated::RegistryKeyExists(HKEY_CLASSES_ROOT, std::string(handlersKey) + "\\VKTMenu"));
}

TEST_F(RegistrationRemoval, AHandlerKeyWithSubKeysFollowsThePlatformsSingleDelete) {
    emulated::SeedRegistryKey(HKEY_CLASSES_ROOT, std::string(handlersKey) + "\\VKTMenu\\Inner");
    EXPECT_EQ(UninstUnInitialize(nullptr, 0, nullptr), 0);
    // One single delete, which the NT registry refuses.
    EXPECT_TRUE(
        emulated::RegistryKeyExists(HKEY_CLASSES_ROOT, std::string(handlersKey) + "\\VKTMenu"));
}

} // namespace
