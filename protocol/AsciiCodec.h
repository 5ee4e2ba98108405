#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "protocol/Pdu.h"

namespace protocol {

// ASCII: ':', the message and its LRC as upper-case hex digit pairs, CR LF.
constexpr char kAsciiStart = ':';
constexpr char kAsciiCr = '\r';
constexpr char kAsciiLf = '\n';

Bytes AsciiWrap(const std::uint8_t* message, std::size_t length);
inline Bytes AsciiWrap(const Bytes& message) {
    return AsciiWrap(message.data(), message.size());
}

// What the text between ':' and CR LF turned out to be.
struct AsciiText {
    enum class Status : std::uint8_t { Ok, BadHex, Short, BadCheck };
    Status status = Status::Short;
    Bytes bytes;    // every byte the digits stand for, the LRC included (none for BadHex)
    Bytes message;  // address, function and data, for Ok
};

// Reads the digit pairs (either case) and tests the LRC, the last byte; at least address,
// function and LRC.
AsciiText AsciiUnwrap(std::string_view text);

}  // namespace protocol
