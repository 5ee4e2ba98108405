#pragma once

#include <optional>
#include <string>

#include "protocol/FunctionTable.h"
#include "protocol/functions/ReadRegisters.h"

namespace protocol {

// Function 23: a write of holding registers, then a read of them, in one exchange.
// Request: read start, read count (1 to kMaxReadWriteReadRegisters), write start, write count
// (1 to kMaxReadWriteWriteRegisters), byte count (2 x write count), the values. Answer: byte
// count, the registers read.
struct ReadWriteRequest {
    ReadRange read;
    std::uint16_t writeStart = 0;
    Words values;
};

Bytes BuildReadWriteMultipleRegistersRequest(const ReadWriteRequest& request);
// Both counts within their limits and a byte count that matches the write's.
std::optional<ReadWriteRequest> ReadReadWriteMultipleRegistersRequest(PduView pdu,
                                                                      std::string* why = nullptr);

Bytes BuildReadWriteMultipleRegistersAnswer(const Words& values);
std::optional<Words> ReadReadWriteMultipleRegistersAnswer(PduView pdu, std::string* why = nullptr);

extern const FunctionEntry kReadWriteMultipleRegistersFunction;

}  // namespace protocol
