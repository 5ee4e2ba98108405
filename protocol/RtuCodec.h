#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "protocol/Pdu.h"

namespace protocol {

// RTU: the message (address, function, data) and its CRC-16, low byte first.
Bytes RtuWrap(const std::uint8_t* message, std::size_t length);
inline Bytes RtuWrap(const Bytes& message) {
    return RtuWrap(message.data(), message.size());
}
// Whether frame[0, length) ends in the CRC of what precedes it: the CRC of a whole frame, its
// own two bytes included, is 0.
bool RtuCheckMatches(const std::uint8_t* frame, std::size_t length);
// The message of a whole frame: at least address, function and check, the check right.
std::optional<Bytes> RtuUnwrap(const Bytes& frame);

}  // namespace protocol
