// The check and text helpers against plain restatements: LRC, hex digits both ways, CRC-16.
#include <cstdint>
#include <vector>

#include "protocol/Crc16.h"
#include "protocol/Lrc.h"
#include "tests/fuzz/FuzzLine.h"

namespace {

std::uint16_t CrcBitwise(const std::uint8_t* data, std::size_t n) {
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) != 0 ? static_cast<std::uint16_t>(crc >> 1 ^ 0xA001)
                                 : static_cast<std::uint16_t>(crc >> 1);
        }
    }
    return crc;
}

int DigitValue(char c) {
    const char* digits = "0123456789ABCDEF";
    for (int v = 0; v < 16; ++v) {
        if (digits[v] == c) {
            return v;
        }
    }
    return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < size; ++i) {
        sum += data[i];
    }
    const std::uint8_t lrc = ComputeLrc(data, size);
    FuzzCheck(static_cast<std::uint8_t>(sum + lrc) == 0, "LRC: the sum with it is 0");

    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const char high = static_cast<char>(data[i]);
        const char low = static_cast<char>(data[i + 1]);
        const int h = DigitValue(high);
        const int l = DigitValue(low);
        const int want = (h < 0 ? 0 : h) * 16 + (l < 0 ? 0 : l);
        FuzzCheck(HexDigitsToByte(high, low) == want, "hex: two digits make a byte");
        FuzzCheck(HexDigitToNibble(NibbleToHexDigit(data[i])) == (data[i] & 0x0F),
                  "hex: a nibble goes round");
    }

    const std::uint16_t crc = CCrc16::Compute(data, size);
    FuzzCheck(crc == CrcBitwise(data, size), "CRC: the tables agree with the bitwise rule");
    std::vector<std::uint8_t> framed(data, data + size);
    framed.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    framed.push_back(static_cast<std::uint8_t>(crc >> 8));
    FuzzCheck(CCrc16::Compute(framed.data(), framed.size()) == 0, "CRC: a framed message gives 0");
    const CCrc16 calculator;
    const ByteArray array(data, data + size);
    FuzzCheck(calculator.Compute(array, size + 1) == 0, "CRC: a length past the array gives 0");
    return 0;
}
