#include "protocol/Lrc.h"

std::uint8_t ComputeLrc(const std::uint8_t* data, std::size_t length) {
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < length; ++i) {
        sum = static_cast<std::uint8_t>(sum + data[i]);
    }
    return static_cast<std::uint8_t>(-sum);
}

char NibbleToHexDigit(std::uint8_t nibble) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    return kDigits[nibble & 0x0F];
}

std::uint8_t HexDigitToNibble(char digit) {
    if (digit >= '0' && digit <= '9') {
        return static_cast<std::uint8_t>(digit - '0');
    }
    if (digit >= 'A' && digit <= 'F') {
        return static_cast<std::uint8_t>(digit - 'A' + 10);
    }
    return 0;
}

std::uint8_t HexDigitsToByte(char high, char low) {
    return static_cast<std::uint8_t>(HexDigitToNibble(high) * 16 + HexDigitToNibble(low));
}
