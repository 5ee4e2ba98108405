#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

#include "protocol/ExceptionCode.h"
#include "protocol/FunctionCode.h"
#include "protocol/Limits.h"

namespace protocol {

using Bytes = std::vector<std::uint8_t>;
using Words = std::vector<std::uint16_t>;
// A PDU as read: the function code, then its data.
using PduView = std::span<const std::uint8_t>;

// A PDU begun with these bytes, with room for the largest and for the address a serial frame
// puts in front of it: building it and framing it then never move it.
inline Bytes NewPdu(std::initializer_list<std::uint8_t> head) {
    Bytes pdu;
    pdu.reserve(1 + kMaxPdu);
    pdu.insert(pdu.end(), head);
    return pdu;
}

// Where every function's own fields begin, after its code.
constexpr std::size_t kPduDataAt = 1;

inline std::uint8_t HighByte(std::uint16_t value) {
    return static_cast<std::uint8_t>(value >> 8);
}

inline std::uint8_t LowByte(std::uint16_t value) {
    return static_cast<std::uint8_t>(value & 0xFF);
}

// Fields are big-endian, high byte first.
inline std::uint16_t WordAt(PduView pdu, std::size_t at) {
    return static_cast<std::uint16_t>(pdu[at] << 8 | pdu[at + 1]);
}

inline void PutWord(Bytes& pdu, std::uint16_t value) {
    pdu.push_back(HighByte(value));
    pdu.push_back(LowByte(value));
}

inline void PutWords(Bytes& pdu, const Words& values) {
    for (const std::uint16_t value : values) {
        PutWord(pdu, value);
    }
}

// count words from pdu[at]; the caller has checked they are there.
Words WordsAt(PduView pdu, std::size_t at, std::size_t count);

// Bits travel least significant first, eight to a byte, the last byte padded with zeros.
// One byte per bit on our side, nonzero for on.
std::size_t BitBytes(std::size_t bits);
Bytes PackBits(const Bytes& bits);
Bytes UnpackBits(PduView packed, std::size_t bits);

// The answer to a request the device will not carry out.
Bytes ExceptionPdu(std::uint8_t function, std::uint8_t code);
inline bool IsException(PduView pdu) {
    return !pdu.empty() && (pdu[0] & kExceptionFlag) != 0;
}

}  // namespace protocol
