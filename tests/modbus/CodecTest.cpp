#include <gtest/gtest.h>

#include <random>

#include "modbus/Modbus.h"
#include "protocol/Crc16.h"
#include "protocol/Lrc.h"

TEST(Crc16, KnownFramesAndEdgeLengths) {
    const CCrc16 crc;
    EXPECT_EQ(crc.Compute(ByteArray{1, 3, 0, 0, 0, 1}, 6), 0x0A84);  // 84 0A on the line
    EXPECT_EQ(crc.Compute(ByteArray{1, 0x83, 2}, 3), 0xF1C0);
    EXPECT_EQ(crc.Compute(ByteArray{1, 3, 2, 0x12, 0x34}, 5), 0x33B5);
    EXPECT_EQ(crc.Compute(ByteArray{1, 3, 0, 0, 0, 1, 0x84, 0x0A}, 8), 0);
    EXPECT_EQ(crc.Compute(ByteArray{}, 3), 0);
    EXPECT_EQ(crc.Compute(ByteArray{1, 3}, 0), 0);
    EXPECT_EQ(crc.Compute(ByteArray{1, 3}, 3), 0);
    EXPECT_EQ(crc.Compute(ByteArray{1, 3, 9}, 2), crc.Compute(ByteArray{1, 3}, 2));
}

TEST(Crc16, TablesAgreeWithTheBitwiseCrc) {
    std::mt19937 random(7);
    for (int round = 0; round < 456; ++round) {  // every single byte, then random frames
        ByteArray data(round < 256 ? 1 : 1 + random() % 64, static_cast<std::uint8_t>(round));
        for (std::size_t i = 0; round >= 256 && i < data.size(); ++i) {
            data[i] = static_cast<std::uint8_t>(random());
        }
        std::uint16_t expected = 0xFFFF;
        for (std::uint8_t byte : data) {
            expected ^= byte;
            for (int bit = 0; bit < 8; ++bit) {
                expected = (expected & 1) ? (expected >> 1) ^ 0xA001 : expected >> 1;
            }
        }
        ASSERT_EQ(CCrc16::Compute(data.data(), data.size()), expected) << round;
    }
}

TEST(Lrc, SumAndHexDigits) {
    const std::uint8_t request[] = {1, 3, 0, 0, 0, 1};
    const std::uint8_t wraps[] = {0xFF, 0xFF, 0x02};
    EXPECT_EQ(ComputeLrc(request, 6), 0xFB);
    EXPECT_EQ(ComputeLrc(wraps, 3), 0x00);
    EXPECT_EQ(ComputeLrc(request, 0), 0x00);
    EXPECT_EQ(std::string({NibbleToHexDigit(0), NibbleToHexDigit(9), NibbleToHexDigit(10),
                           NibbleToHexDigit(15)}),
              "09AF");
    EXPECT_EQ(HexDigitToNibble('7'), 7);
    EXPECT_EQ(HexDigitToNibble('C'), 12);
    for (char other : {'c', 'G', '\r', ':'}) {
        EXPECT_EQ(HexDigitToNibble(other), 0) << other;
    }
    EXPECT_EQ(HexDigitsToByte('F', 'B'), 0xFB);
    EXPECT_EQ(HexDigitsToByte('f', 'b'), 0x00);
    EXPECT_EQ(HexDigitsToByte('1', 'a'), 0x10);
}
