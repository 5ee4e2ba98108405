#pragma once

#include <optional>
#include <string>

#include "protocol/FunctionTable.h"
#include "protocol/functions/ReadRange.h"

namespace protocol {

// Functions 3 (holding registers) and 4 (input registers): one layout, two tables.
// Request: start, count (1 to kMaxReadRegisters). Answer: byte count, the registers.

Bytes BuildReadRegistersRequest(std::uint8_t function, ReadRange range);
// Both fields, and a count the function allows; why says what failed.
std::optional<ReadRange> ReadReadRegistersRequest(PduView pdu, std::string* why = nullptr);

Bytes BuildReadRegistersAnswer(std::uint8_t function, const Words& values);
// The answer to count registers, from its length alone: the byte count is not relied on.
std::size_t ReadRegistersAnswerLength(std::uint16_t count);
Words RegistersOfAnswer(PduView pdu, std::uint16_t count);
// The registers as the answer's own byte count gives them, which must match its length.
std::optional<Words> ReadReadRegistersAnswer(PduView pdu, std::string* why = nullptr);

extern const FunctionEntry kReadHoldingRegistersFunction;
extern const FunctionEntry kReadInputRegistersFunction;

}  // namespace protocol
