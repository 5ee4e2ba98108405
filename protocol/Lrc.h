#pragma once

#include <cstddef>
#include <cstdint>

// Two's complement of the 8-bit sum.
std::uint8_t ComputeLrc(const std::uint8_t* data, std::size_t length);

// "0".."9", "A".."F" for a nibble (upper case only).
char NibbleToHexDigit(std::uint8_t nibble);
// 0..15 for "0".."9" and "A".."F"; every other character, lower case included, gives 0.
std::uint8_t HexDigitToNibble(char digit);
// First digit's nibble x 16 + the second's.
std::uint8_t HexDigitsToByte(char high, char low);
