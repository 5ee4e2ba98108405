#include "tools/slave/SlaveChecks.h"

#include <gtest/gtest.h>

namespace slave {
namespace {

TEST(SlaveChecks, Crc16MatchesKnownFrames) {
    // Frames whose check bytes are fixed by the Modbus documentation and common devices.
    EXPECT_EQ(Crc16(Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x01}), 0x0A84);
    EXPECT_EQ(Crc16(Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x08}), 0x0C44);
    EXPECT_EQ(Crc16(Bytes{0x01, 0x83, 0x02}), 0xF1C0);
    EXPECT_EQ(Crc16(Bytes{0x01, 0x03, 0x02, 0x12, 0x34}), 0x33B5);
    // The standard check value for "123456789".
    const Bytes digits{'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(Crc16(digits), 0x4B37);
    EXPECT_EQ(Crc16(Bytes{}), 0xFFFF);
}

TEST(SlaveChecks, Crc16OverFrameWithItsCheckIsZero) {
    EXPECT_EQ(Crc16(Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A}), 0);
    EXPECT_NE(Crc16(Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x0A, 0x84}), 0);
}

TEST(SlaveChecks, LrcIsTwosComplementOfTheSum) {
    EXPECT_EQ(Lrc(Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x01}), 0xFB);
    EXPECT_EQ(Lrc(Bytes{0x01, 0x06, 0x00, 0x05, 0x12, 0x34}), 0xAE);
    EXPECT_EQ(Lrc(Bytes{}), 0x00);
    EXPECT_EQ(Lrc(Bytes{0x80, 0x80}), 0x00);
    EXPECT_EQ(Lrc(Bytes{0xFF}), 0x01);
}

TEST(SlaveChecks, HexTexts) {
    EXPECT_EQ(HexDigits(Bytes{0x01, 0xAB, 0x00, 0xF0}), "01AB00F0");
    EXPECT_EQ(HexSpaced(Bytes{0x01, 0xAB, 0x00, 0xF0}), "01 AB 00 F0");
    EXPECT_EQ(HexSpaced(Bytes{}), "");
    EXPECT_EQ(HexNibble('0'), 0);
    EXPECT_EQ(HexNibble('9'), 9);
    EXPECT_EQ(HexNibble('A'), 10);
    EXPECT_EQ(HexNibble('f'), 15);
    EXPECT_FALSE(HexNibble('G').has_value());
    EXPECT_FALSE(HexNibble(':').has_value());
    EXPECT_FALSE(HexNibble('\r').has_value());
}

}  // namespace
}  // namespace slave
