#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The simulator's own error checks and hex text. They are written apart from the master's so
// that a fault on one side of the line shows up against the other.
namespace slave {

using Bytes = std::vector<std::uint8_t>;

// Modbus CRC-16, computed bit by bit (reflected polynomial 0xA001, start 0xFFFF).
std::uint16_t Crc16(const std::uint8_t* data, std::size_t length);
inline std::uint16_t Crc16(const Bytes& data) {
    return Crc16(data.data(), data.size());
}

// Two's complement of the byte sum, so that the sum of message and LRC is 0.
std::uint8_t Lrc(const std::uint8_t* data, std::size_t length);
inline std::uint8_t Lrc(const Bytes& data) {
    return Lrc(data.data(), data.size());
}

// Upper-case hex digits, two per byte, no separator.
std::string HexDigits(const Bytes& data);
// "01 03 00 00" for the log.
std::string HexSpaced(const Bytes& data);
// 0..15 for 0-9, A-F and a-f; nullopt for any other character.
std::optional<std::uint8_t> HexNibble(char digit);

}  // namespace slave
