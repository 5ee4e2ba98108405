#pragma once

#include <optional>
#include <string>

#include "protocol/FunctionTable.h"
#include "protocol/functions/ReadRange.h"

namespace protocol {

// Functions 1 (coils) and 2 (discrete inputs): one layout, two tables.
// Request: start, count (1 to kMaxReadBits). Answer: byte count, the bits packed eight a byte.
Bytes BuildReadBitsRequest(std::uint8_t function, ReadRange range);
std::optional<ReadRange> ReadReadBitsRequest(PduView pdu, std::string* why = nullptr);

// bits: one byte per bit, nonzero for on.
Bytes BuildReadBitsAnswer(std::uint8_t function, const Bytes& bits);
// The answer to count bits, from its length alone: the byte count is not relied on.
std::size_t ReadBitsAnswerLength(std::uint16_t count);
Bytes BitsOfAnswer(PduView pdu, std::uint16_t count);
// Every bit the answer's bytes hold, as its own byte count gives them, which must match its
// length.
std::optional<Bytes> ReadReadBitsAnswer(PduView pdu, std::string* why = nullptr);

extern const FunctionEntry kReadCoilsFunction;
extern const FunctionEntry kReadDiscreteInputsFunction;

}  // namespace protocol
