#pragma once

#include <optional>
#include <string>

#include "protocol/FunctionTable.h"

namespace protocol {

// Function 7: the request is the code alone; the answer is the device's eight exception status
// outputs in one byte, the lowest output in its least significant bit.
Bytes BuildReadExceptionStatusRequest();
// The code and nothing after it.
bool ReadReadExceptionStatusRequest(PduView pdu, std::string* why = nullptr);

Bytes BuildReadExceptionStatusAnswer(std::uint8_t status);
std::optional<std::uint8_t> ReadReadExceptionStatusAnswer(PduView pdu, std::string* why = nullptr);

extern const FunctionEntry kReadExceptionStatusFunction;

}  // namespace protocol
