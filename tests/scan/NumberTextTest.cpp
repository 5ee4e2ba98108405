#include "framework/NumberText.h"

#include <gtest/gtest.h>

#include "tests/scan/QStringPrinter.h"

TEST(StringToUnsigned32, FollowsStrtoulOnA32BitLong) {
    EXPECT_EQ(StringToUnsigned32(u"  \t42", 10), 42u);
    EXPECT_EQ(StringToUnsigned32(u"+42", 10), 42u);
    EXPECT_EQ(StringToUnsigned32(u"-1", 10), 0xFFFFFFFFu);
    EXPECT_EQ(StringToUnsigned32(u"-2", 16), 0xFFFFFFFEu);
    EXPECT_EQ(StringToUnsigned32(u"12ab", 10), 12u);
    EXPECT_EQ(StringToUnsigned32(u"", 10), 0u);
    EXPECT_EQ(StringToUnsigned32(u"x", 10), 0u);
    EXPECT_EQ(StringToUnsigned32(u"- 5", 10), 0u);
    EXPECT_EQ(StringToUnsigned32(u"4294967295", 10), 0xFFFFFFFFu);
    EXPECT_EQ(StringToUnsigned32(u"4294967296", 10), 0xFFFFFFFFu);
    EXPECT_EQ(StringToUnsigned32(u"-99999999999", 10), 0xFFFFFFFFu);
    EXPECT_EQ(StringToUnsigned32(u"0x1f", 16), 0x1Fu);
    EXPECT_EQ(StringToUnsigned32(u"0X1F", 16), 0x1Fu);
    EXPECT_EQ(StringToUnsigned32(u"1fH", 16), 0x1Fu);
    EXPECT_EQ(StringToUnsigned32(u"0x", 16), 0u);
    EXPECT_EQ(StringToUnsigned32(u"0xg", 16), 0u);
    EXPECT_EQ(StringToUnsigned32(u"0x1F", 10), 0u);
    EXPECT_EQ(StringToUnsigned32(u"FFFFFFFF", 16), 0xFFFFFFFFu);
    EXPECT_EQ(StringToUnsigned32(u"100000000", 16), 0xFFFFFFFFu);
    EXPECT_EQ(StringToUnsigned32(u"\u0661\u0662", 10), 0u);  // only ASCII digits count
}

TEST(ParseAddressText, HexByPrefixOrSuffixElseDecimal) {
    EXPECT_EQ(ParseAddressText("0x20"), 32u);
    EXPECT_EQ(ParseAddressText("0X20"), 32u);
    EXPECT_EQ(ParseAddressText("20h"), 32u);
    EXPECT_EQ(ParseAddressText("20H"), 32u);
    EXPECT_EQ(ParseAddressText("ffh"), 255u);
    EXPECT_EQ(ParseAddressText("10"), 10u);
    EXPECT_EQ(ParseAddressText("1A"), 1u);
    EXPECT_EQ(ParseAddressText(""), 0u);
    EXPECT_EQ(ParseAddressText("abc"), 0u);
    EXPECT_EQ(ParseAddressText("  77"), 77u);
}

TEST(ParseAddressText, LargeNumbersSaturateAtTheMaximum) {
    EXPECT_EQ(ParseAddressText("65535"), 65535u);
    EXPECT_EQ(ParseAddressText("65536"), 65535u);
    EXPECT_EQ(ParseAddressText("0x12345"), 65535u);
    EXPECT_EQ(ParseAddressText("99999999999"), 65535u);
    EXPECT_EQ(ParseAddressText("-1"), 65535u);
    EXPECT_EQ(ParseAddressText("200", 125), 125u);
    EXPECT_EQ(ParseAddressText("0x7D", 125), 125u);
    EXPECT_EQ(ParseAddressText("124", 125), 124u);
}

TEST(ParseUnsignedDecimal, DecimalOnlyWithLimit) {
    EXPECT_EQ(ParseUnsignedDecimal("300", 255), 255u);
    EXPECT_EQ(ParseUnsignedDecimal("17", 255), 17u);
    EXPECT_EQ(ParseUnsignedDecimal("0x20", 255), 0u);
    EXPECT_EQ(ParseUnsignedDecimal("", 255), 0u);
}

TEST(ParseSignedDecimal4, AtoiOverTheFirstFourCharacters) {
    EXPECT_EQ(ParseSignedDecimal4("1"), 1);
    EXPECT_EQ(ParseSignedDecimal4("5"), 5);
    EXPECT_EQ(ParseSignedDecimal4("-12"), -12);
    EXPECT_EQ(ParseSignedDecimal4("+7"), 7);
    EXPECT_EQ(ParseSignedDecimal4("12345"), 1234);
    EXPECT_EQ(ParseSignedDecimal4("-9999"), -999);
    EXPECT_EQ(ParseSignedDecimal4("  12"), 12);
    EXPECT_EQ(ParseSignedDecimal4("   12"), 1);
    EXPECT_EQ(ParseSignedDecimal4("3x4"), 3);
    EXPECT_EQ(ParseSignedDecimal4("abc"), 0);
    EXPECT_EQ(ParseSignedDecimal4(""), 0);
    EXPECT_EQ(ParseSignedDecimal4("-"), 0);
}

TEST(ParseWriteValue, HexAndDecimalForms) {
    bool blank = true;
    EXPECT_EQ(ParseWriteValue("0x1A", &blank), 26);
    EXPECT_FALSE(blank);
    EXPECT_EQ(ParseWriteValue("0X1a", &blank), 26);
    EXPECT_EQ(ParseWriteValue("1AH", &blank), 26);
    EXPECT_EQ(ParseWriteValue("1ah", &blank), 26);
    EXPECT_EQ(ParseWriteValue("26", &blank), 26);
    EXPECT_EQ(ParseWriteValue("1A", &blank), 1);
    EXPECT_EQ(ParseWriteValue("FF", &blank), 0);
    EXPECT_EQ(ParseWriteValue("  123  ", &blank), 123);
    EXPECT_EQ(ParseWriteValue("0xff", &blank), 255);
    EXPECT_EQ(ParseWriteValue("hello", &blank), 0);
    EXPECT_FALSE(blank);
}

TEST(ParseWriteValue, WideAndNegativeNumbersKeepTheLow16Bits) {
    bool blank = true;
    EXPECT_EQ(ParseWriteValue("70000", &blank), 4464);
    EXPECT_EQ(ParseWriteValue("-1", &blank), 65535);
    EXPECT_EQ(ParseWriteValue("-2", &blank), 65534);
    EXPECT_EQ(ParseWriteValue("99999999999", &blank), 65535);
    EXPECT_EQ(ParseWriteValue("0x12345", &blank), 0x2345);
    EXPECT_EQ(ParseWriteValue("65536", &blank), 0);
}

TEST(ParseWriteValue, BlankTextIsReported) {
    bool blank = false;
    EXPECT_EQ(ParseWriteValue("", &blank), 0);
    EXPECT_TRUE(blank);
    blank = false;
    EXPECT_EQ(ParseWriteValue("  \t ", &blank), 0);
    EXPECT_TRUE(blank);
    EXPECT_EQ(ParseWriteValue("   ", nullptr), 0);
    EXPECT_EQ(ParseWriteValue("9", nullptr), 9);
}

TEST(NumberFormat, CFormats) {
    EXPECT_EQ(FormatHex04Upper(10), "0x000A");
    EXPECT_EQ(FormatHex04Upper(0xABCDE), "0xABCDE");
    EXPECT_EQ(FormatHex04Lower(0xFF), "0x00ff");
    EXPECT_EQ(FormatHex04Lower(0x10000), "0x10000");
    EXPECT_EQ(FormatHexShort(0), "0x0");
    EXPECT_EQ(FormatHexShort(255), "0xff");
    EXPECT_EQ(FormatDecimal(40001), "40001");
    EXPECT_EQ(FormatDecimal(-3), "-3");
}
