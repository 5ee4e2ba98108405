#pragma once

#include <optional>
#include <string>

#include "protocol/FunctionTable.h"

namespace protocol {

// Function 24: the queue behind a FIFO pointer register.
// Request: the FIFO pointer address. Answer: byte count (16 bits, of what follows it), FIFO
// count (16 bits, at most kMaxFifoCount), the registers, oldest first.
Bytes BuildReadFifoQueueRequest(std::uint16_t address);
std::optional<std::uint16_t> ReadReadFifoQueueRequest(PduView pdu, std::string* why = nullptr);

Bytes BuildReadFifoQueueAnswer(const Words& queue);
// The queue, its count within the limit and the byte count its own.
std::optional<Words> ReadReadFifoQueueAnswer(PduView pdu, std::string* why = nullptr);

extern const FunctionEntry kReadFifoQueueFunction;

}  // namespace protocol
