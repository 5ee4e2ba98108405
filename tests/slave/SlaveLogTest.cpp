#include "tools/slave/SlaveLog.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <regex>

namespace slave {
namespace {

std::chrono::system_clock::time_point LocalTime(int h, int m, int s, int ms) {
    std::tm local{};
    local.tm_year = 2024 - 1900;
    local.tm_mon = 5;
    local.tm_mday = 1;
    local.tm_hour = h;
    local.tm_min = m;
    local.tm_sec = s;
    local.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&local)) +
           std::chrono::milliseconds(ms);
}

TEST(SlaveLog, LineHoldsTimeDirectionBytesNoteAndText) {
    const auto when = LocalTime(12, 34, 56, 789);
    EXPECT_EQ(FormatLogLine(when, "rx", {0x01, 0x03, 0x00, 0x00, 0x00, 0x08, 0x44, 0x0C}, {},
                            std::nullopt),
              "12:34:56.789 rx 01 03 00 00 00 08 44 0C");
    EXPECT_EQ(FormatLogLine(LocalTime(1, 2, 3, 4), "tx", {0x01, 0x83, 0x02, 0x3F, 0x0E}, "corrupt",
                            std::nullopt),
              "01:02:03.004 tx 01 83 02 3F 0E (corrupt)");
    EXPECT_EQ(FormatLogLine(when, "rx", {0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0xFB}, {},
                            std::string_view("010300000001FB")),
              "12:34:56.789 rx 01 03 00 00 00 01 FB \"010300000001FB\"");
    EXPECT_EQ(FormatLogLine(when, "rx", {}, "bad hex", std::string_view("0G\r\"\\\xFF")),
              "12:34:56.789 rx (bad hex) \"0G\\x0D\\x22\\x5C\\xFF\"");
}

TEST(SlaveLog, HexIsSpacedUpperCasePairs) {
    EXPECT_EQ(HexSpaced(Bytes{0x01, 0xAB, 0x00, 0xF0}), "01 AB 00 F0");
    EXPECT_EQ(HexSpaced(Bytes{0x0A}), "0A");
    EXPECT_EQ(HexSpaced(Bytes{}), "");
}

TEST(SlaveLog, WritesWholeLinesOnlyWhenEnabled) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    CSlaveLog off(file, false);
    off.Frame("rx", {0x01});
    CSlaveLog on(file, true);
    on.Frame("rx", {0x01, 0x02}, "other id");
    on.Frame("tx", {0xAB});
    std::rewind(file);
    char buffer[256] = {};
    const std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, file);
    std::fclose(file);
    const std::string text(buffer, n);
    const std::regex expected(
        "[0-2][0-9]:[0-5][0-9]:[0-6][0-9]\\.[0-9]{3} rx 01 02 \\(other id\\)\n"
        "[0-2][0-9]:[0-5][0-9]:[0-6][0-9]\\.[0-9]{3} tx AB\n");
    EXPECT_TRUE(std::regex_match(text, expected)) << text;
}

}  // namespace
}  // namespace slave
