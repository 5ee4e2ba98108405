#include <gtest/gtest.h>

#include <random>

#include "modbus/Crc16.h"
#include "modbus/Lrc.h"

namespace {

std::uint16_t BitwiseCrc(const ByteArray& data) {
    std::uint16_t crc = 0xFFFF;
    for (std::uint8_t byte : data) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
        }
    }
    return crc;
}

}  // namespace

TEST(Crc16, KnownFramesAndLowByteFirst) {
    const CCrc16 crc;
    EXPECT_EQ(crc.Compute(ByteArray{1, 3, 0, 0, 0, 1}, 6), 0x0A84);  // 84 0A on the line
    EXPECT_EQ(crc.Compute(ByteArray{1, 0x83, 2}, 3), 0xF1C0);        // C0 F1
    EXPECT_EQ(crc.Compute(ByteArray{1, 3, 2, 0x12, 0x34}, 5), 0x33B5);
    EXPECT_EQ(crc.Compute(ByteArray{1, 3, 0, 0, 0, 1, 0x84, 0x0A}, 8), 0);
}

TEST(Crc16, ZeroForEmptyOrOverlongLength) {
    const CCrc16 crc;
    EXPECT_EQ(crc.Compute(ByteArray{}, 3), 0);
    EXPECT_EQ(crc.Compute(ByteArray{1, 3}, 0), 0);
    EXPECT_EQ(crc.Compute(ByteArray{1, 3}, 3), 0);
    EXPECT_EQ(crc.Compute(ByteArray{1, 3, 9}, 2), crc.Compute(ByteArray{1, 3}, 2));
}

TEST(Crc16, TablesAgreeWithTheBitwiseCrc) {
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        ByteArray data(1 + random() % 64);
        for (auto& byte : data) {
            byte = static_cast<std::uint8_t>(random());
        }
        ASSERT_EQ(CCrc16::Compute(data.data(), data.size()), BitwiseCrc(data));
    }
    for (int byte = 0; byte < 256; ++byte) {  // every table entry
        const ByteArray one{static_cast<std::uint8_t>(byte)};
        ASSERT_EQ(CCrc16::Compute(one.data(), 1), BitwiseCrc(one)) << byte;
    }
}

TEST(Lrc, TwosComplementOfTheSum) {
    const std::uint8_t request[] = {1, 3, 0, 0, 0, 1};
    EXPECT_EQ(ComputeLrc(request, 6), 0xFB);
    const std::uint8_t wraps[] = {0xFF, 0xFF, 0x02};
    EXPECT_EQ(ComputeLrc(wraps, 3), 0x00);
    EXPECT_EQ(ComputeLrc(request, 0), 0x00);
}

TEST(Lrc, HexDigitsUpperCaseOnly) {
    EXPECT_EQ(NibbleToHexDigit(0), '0');
    EXPECT_EQ(NibbleToHexDigit(9), '9');
    EXPECT_EQ(NibbleToHexDigit(10), 'A');
    EXPECT_EQ(NibbleToHexDigit(15), 'F');
    EXPECT_EQ(HexDigitToNibble('7'), 7);
    EXPECT_EQ(HexDigitToNibble('C'), 12);
    EXPECT_EQ(HexDigitToNibble('c'), 0);
    EXPECT_EQ(HexDigitToNibble('G'), 0);
    EXPECT_EQ(HexDigitToNibble('\r'), 0);
    EXPECT_EQ(HexDigitsToByte('F', 'B'), 0xFB);
    EXPECT_EQ(HexDigitsToByte('f', 'b'), 0x00);
    EXPECT_EQ(HexDigitsToByte('1', 'a'), 0x10);
}
