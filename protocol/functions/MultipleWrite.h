#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "protocol/Pdu.h"

namespace protocol {

// What the answers of functions 15 and 16 echo: the start and the count written.
struct MultipleWrite {
    std::uint16_t start = 0;
    std::uint16_t count = 0;
};

// The layout 15 and 16 share: start, count, byte count at 5, the data from 6; the answer is
// the first five bytes.
constexpr std::size_t kMultipleWriteByteCountAt = 5;
constexpr std::size_t kMultipleWriteDataAt = 6;
constexpr std::size_t kMultipleWriteAnswerLength = 5;

Bytes BuildMultipleWrite(std::uint8_t function, std::uint16_t start, std::uint16_t count,
                         const Bytes& data);
// A request whose count lies in 1..most, whose byte count is dataBytes(count) and whose data
// is exactly that long; the data is left at kMultipleWriteDataAt.
std::optional<MultipleWrite> ReadMultipleWrite(PduView pdu, std::uint16_t most,
                                               std::size_t (*dataBytes)(std::size_t),
                                               std::string* why);
Bytes BuildMultipleWriteAnswer(std::uint8_t function, MultipleWrite write);
std::optional<MultipleWrite> ReadMultipleWriteAnswer(PduView pdu, std::string* why);

}  // namespace protocol
