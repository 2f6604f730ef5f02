// TextString and CompareText on the emulated platform, under code pages 1252
// and 932.
#include "Control.h"
#include "LeadBytes.h"
#include "TextMemory.h"
#include "TextString.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <string>

namespace {

std::string Bytes(const TextString& value) {
    return std::string(value.Text(), value.Length());
}

class TextStringTest : public ::testing::Test {
  protected:
    void SetUp() override {
        emulated::ResetPlatform();
        LoadLeadByteTableFor(1252);
        FailTextAllocation(0);
    }
    void TearDown() override {
        FailTextAllocation(0);
        LoadLeadByteTableFor(1252);
    }
};

using TextStringClamping = TextStringTest;
using TextStringSearch = TextStringTest;
using TextStringReplace = TextStringTest;
using TextStringJoin = TextStringTest;
using TextStringCompare = TextStringTest;
using TextStringBuffer = TextStringTest;
using TextStringMemory = TextStringTest;
using LeadByteTable = TextStringTest;

TEST_F(TextStringClamping, LeftAndRightClampTheirCounts) {
    TextString value("abcdef");
    EXPECT_EQ(Bytes(value.Left(-1)), "");
    EXPECT_EQ(Bytes(value.Left(0)), "");
    EXPECT_EQ(Bytes(value.Left(2)), "ab");
    EXPECT_EQ(Bytes(value.Left(6)), "abcdef");
    EXPECT_EQ(Bytes(value.Left(11)), "abcdef");
    EXPECT_EQ(Bytes(value.Right(-3)), "");
    EXPECT_EQ(Bytes(value.Right(2)), "ef");
    EXPECT_EQ(Bytes(value.Right(7)), "abcdef");
    EXPECT_EQ(Bytes(TextString().Left(5)), "");
    EXPECT_EQ(Bytes(TextString().Right(5)), "");
}

TEST_F(TextStringClamping, AbsentAndEmptyTextsGiveTheEmptyValue) {
    TextString absent(nullptr);
    EXPECT_EQ(absent.Length(), 0);
    EXPECT_STREQ(absent.Text(), "");
    TextString value("x");
    value = static_cast<const char*>(nullptr);
    EXPECT_EQ(value.Length(), 0);
    EXPECT_EQ(Bytes(TextString("abc") + static_cast<const char*>(nullptr)), "abc");
    EXPECT_EQ(Bytes(static_cast<const char*>(nullptr) + TextString("abc")), "abc");
}

TEST_F(TextStringClamping, CopiesAreIndependent) {
    TextString original("path");
    TextString copy = original;
    copy += "\\more";
    char* buffer = copy.OpenBuffer(10);
    buffer[0] = 'P';
    copy.CloseBuffer();
    EXPECT_EQ(Bytes(original), "path");
    EXPECT_EQ(Bytes(copy), "Path\\more");
}

TEST_F(TextStringSearch, FindAndReverseFindOnPlainText) {
    EXPECT_EQ(TextString().Find('='), -1);
    EXPECT_EQ(TextString("=x").Find('='), 0);
    EXPECT_EQ(TextString("a=b=c").Find('='), 1);
    EXPECT_EQ(TextString("a-b-c").ReverseFind('-'), 3);
    EXPECT_EQ(TextString("a-b-c").Find("-"), 1);
    EXPECT_EQ(TextString("abc").ReverseFind('-'), -1);
    EXPECT_EQ(TextString().ReverseFind('-'), -1);
    EXPECT_EQ(TextString("abcabc").Find("ca"), 2);
    EXPECT_EQ(TextString("abc").Find("abcd"), -1);
    EXPECT_EQ(TextString().Find("a"), -1);
    EXPECT_EQ(TextString("abc").Find(""), -1);
}

TEST_F(TextStringSearch, DoubleByteCharactersHideTheirSecondByte) {
    const char bytes[] = "\x95\x5C\x5C";
    EXPECT_EQ(TextString(bytes).Find('\\'), 1);
    EXPECT_EQ(TextString(bytes).ReverseFind('\\'), 2);
    LoadLeadByteTableFor(932);
    EXPECT_EQ(TextString(bytes).Find('\\'), 2);
    EXPECT_EQ(TextString(bytes).ReverseFind('\\'), 2);
    EXPECT_EQ(TextString(bytes).Find("\\"), 2);
    // Only the trail byte would match: no match at all.
    EXPECT_EQ(TextString("\x95\x5C").Find('\\'), -1);
    EXPECT_EQ(TextString("\x95\x5C").ReverseFind('\\'), -1);
    EXPECT_EQ(TextString("\x95\x5C").Find("\\"), -1);
}

TEST_F(TextStringSearch, IncompleteCharacterAtTheEnd) {
    LoadLeadByteTableFor(932);
    TextString value("a\x81");
    EXPECT_EQ(value.ReverseFind('-'), 2);
    EXPECT_EQ(value.Find('-'), -1);
    EXPECT_EQ(TextString("-a\x81").ReverseFind('-'), 0);
    EXPECT_EQ(TextString("-a\x81").Find('-'), 0);
    // The lone lead byte can still be found as text.
    EXPECT_EQ(value.Find("\x81"), 1);
}

TEST_F(TextStringReplace, RemovesQuotesAndCountsThem) {
    TextString value("a\"b\"c\"");
    EXPECT_EQ(value.Replace("\"", ""), 3);
    EXPECT_EQ(Bytes(value), "abc");
    EXPECT_EQ(value.Replace("\"", ""), 0);
    EXPECT_EQ(Bytes(value), "abc");
    EXPECT_EQ(value.Replace("\"", nullptr), 0);
    EXPECT_EQ(value.Replace("", "x"), 0);
    EXPECT_EQ(value.Replace(nullptr, "x"), 0);
    EXPECT_EQ(Bytes(value), "abc");
}

TEST_F(TextStringReplace, NeverOverlapsAndNeverSearchesInsertedText) {
    TextString value("aaa");
    EXPECT_EQ(value.Replace("aa", "b"), 1);
    EXPECT_EQ(Bytes(value), "ba");
    TextString growing("a-b-c");
    EXPECT_EQ(growing.Replace("-", "--"), 2);
    EXPECT_EQ(Bytes(growing), "a--b--c");
    TextString self("xx");
    EXPECT_EQ(self.Replace("x", "xx"), 2);
    EXPECT_EQ(Bytes(self), "xxxx");
    TextString whole("abc");
    EXPECT_EQ(whole.Replace("abc", ""), 1);
    EXPECT_EQ(whole.Length(), 0);
}

TEST_F(TextStringReplace, SkipsMatchesInsideDoubleByteCharacters) {
    LoadLeadByteTableFor(932);
    TextString value("\x95\x5C\\x\\");
    EXPECT_EQ(value.Replace("\\", "/"), 2);
    EXPECT_EQ(Bytes(value), "\x95\x5C/x/");
}

TEST_F(TextStringJoin, ConcatenationKeepsEveryByte) {
    EXPECT_EQ(Bytes("\\" + TextString("Sub")), "\\Sub");
    TextString path = TextString("C:") + '\\' + "file.txt";
    EXPECT_EQ(path.Length(), 11);
    EXPECT_EQ(Bytes(path), "C:\\file.txt");
    TextString grown("a");
    for (int i = 0; i < 1000; ++i) {
        grown += TextString("b");
    }
    EXPECT_EQ(grown.Length(), 1001);
    grown += grown;
    EXPECT_EQ(grown.Length(), 2002);
    EXPECT_EQ(grown.Text()[2002], 0);
}

TEST_F(TextStringCompare, UnitsCompareAsUnsignedNumbers) {
    EXPECT_EQ(CompareText("", ""), 0);
    EXPECT_NE(CompareText(".", ".."), 0);
    EXPECT_EQ(CompareText(".", ".."), -1);
    EXPECT_NE(CompareText("A", "a"), 0);
    EXPECT_EQ(CompareText("\xE9", "e"), 1);
    EXPECT_TRUE(TextString("..") == "..");
    EXPECT_TRUE(TextString("...") != "..");
    LoadLeadByteTableFor(932);
    EXPECT_EQ(CompareText("\x81", ""), 0);
    EXPECT_EQ(CompareText("\x81\x40", "\x81\x41"), -1);
    EXPECT_EQ(CompareText("\x81\x40", "~"), 1);
}

TEST_F(TextStringBuffer, CloseBufferTakesTheTextUpToItsFirstZero) {
    TextString empty;
    empty.OpenBuffer(1000);
    empty.CloseBuffer();
    EXPECT_EQ(empty.Length(), 0);

    TextString value;
    char* buffer = value.OpenBuffer(1000);
    std::memcpy(buffer, "abc\0xyz", 7);
    value.CloseBuffer();
    EXPECT_EQ(Bytes(value), "abc");

    TextString full;
    buffer = full.OpenBuffer(1000);
    std::memset(buffer, 'q', 1000);
    full.CloseBuffer();
    EXPECT_EQ(full.Length(), 1000);
    EXPECT_EQ(Bytes(full), std::string(1000, 'q'));
}

TEST_F(TextStringBuffer, ZeroCapacityOnTheEmptyValueStaysEmpty) {
    TextString value;
    value.OpenBuffer(0);
    value.CloseBuffer();
    EXPECT_EQ(value.Length(), 0);
    value += "x";
    EXPECT_EQ(Bytes(value), "x");
}

TEST_F(TextStringBuffer, OpenBufferKeepsExistingContent) {
    TextString value("previous");
    value.OpenBuffer(50);
    value.CloseBuffer();
    EXPECT_EQ(Bytes(value), "previous");

    char* buffer = value.OpenBuffer(3);
    EXPECT_EQ(std::string(buffer), "previous");
    buffer[2] = 0;
    value.CloseBuffer();
    EXPECT_EQ(Bytes(value), "pr");

    TextString shared("copy");
    TextString other = shared;
    other.OpenBuffer(10)[0] = 'C';
    other.CloseBuffer();
    EXPECT_EQ(Bytes(shared), "copy");
    EXPECT_EQ(Bytes(other), "Copy");
}

TEST_F(TextStringMemory, ExhaustedStorageThrowsAndLeavesOperandsAlone) {
    TextString value("a\"b\"");
    TextString other("tail");
    FailTextAllocation(1);
    EXPECT_THROW(value.Replace("\"", ""), std::bad_alloc);
    EXPECT_EQ(Bytes(value), "a\"b\"");
    FailTextAllocation(1);
    EXPECT_THROW(value += other, std::bad_alloc);
    EXPECT_EQ(Bytes(value), "a\"b\"");
    EXPECT_EQ(Bytes(other), "tail");
    FailTextAllocation(1);
    EXPECT_THROW(static_cast<void>(value + other), std::bad_alloc);
    FailTextAllocation(1);
    EXPECT_THROW(static_cast<void>(value.Left(2)), std::bad_alloc);
    FailTextAllocation(1);
    EXPECT_THROW(TextString copy(value), std::bad_alloc);
    FailTextAllocation(1);
    EXPECT_THROW(value.OpenBuffer(1000), std::bad_alloc);
    EXPECT_EQ(Bytes(value), "a\"b\"");
    TextString assigned("kept");
    FailTextAllocation(1);
    EXPECT_THROW(assigned = value, std::bad_alloc);
    EXPECT_EQ(Bytes(assigned), "kept");
    FailTextAllocation(0);
    EXPECT_EQ(value.Replace("\"", ""), 2);
    EXPECT_EQ(Bytes(value), "ab");
}

TEST_F(LeadByteTable, FixedRangesAndPlatformRanges) {
    LoadLeadByteTableFor(932);
    EXPECT_TRUE(IsLeadByte(0x81));
    EXPECT_TRUE(IsLeadByte(0x9F));
    EXPECT_FALSE(IsLeadByte(0xA0));
    EXPECT_TRUE(IsLeadByte(0xFC));
    EXPECT_FALSE(IsLeadByte(0xFD));
    LoadLeadByteTableFor(1361);
    EXPECT_TRUE(IsLeadByte(0x81));
    EXPECT_FALSE(IsLeadByte(0xD4));
    EXPECT_TRUE(IsLeadByte(0xD8));
    EXPECT_FALSE(IsLeadByte(0xFA));
    LoadLeadByteTableFor(949);
    EXPECT_TRUE(IsLeadByte(0xFE));
    EXPECT_FALSE(IsLeadByte(0xFF));
    // Not among the fixed ones: the platform's ranges are used.
    LoadLeadByteTableFor(20932);
    EXPECT_TRUE(IsLeadByte(0x8E));
    EXPECT_FALSE(IsLeadByte(0x8F));
    EXPECT_TRUE(IsLeadByte(0xA1));
    LoadLeadByteTableFor(1252);
    for (int byte = 0; byte < 256; ++byte) {
        EXPECT_FALSE(IsLeadByte(static_cast<unsigned char>(byte)));
    }
    LoadLeadByteTableFor(12345); // unknown to the platform: no lead bytes
    EXPECT_FALSE(IsLeadByte(0x81));
}

TEST_F(LeadByteTable, LoadsForTheAnsiCodePageSetting) {
    emulated::SetCodePage(932);
    LoadLeadByteTable();
    EXPECT_EQ(LeadByteCodePage(), 932u);
    EXPECT_TRUE(IsLeadByte(0x95));
    emulated::ResetPlatform();
    LoadLeadByteTable();
    EXPECT_EQ(LeadByteCodePage(), 1252u);
    EXPECT_FALSE(IsLeadByte(0x95));
}

} // namespace
