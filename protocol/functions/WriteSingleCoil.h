#pragma once

#include <optional>
#include <string>

#include "protocol/FunctionTable.h"
#include "protocol/functions/SingleWrite.h"

namespace protocol {

// Function 5: address, then 0xFF00 for on or 0x0000 for off; the answer echoes the request.
constexpr std::uint16_t kCoilOn = 0xFF00;
constexpr std::uint16_t kCoilOff = 0x0000;

Bytes BuildWriteSingleCoil(std::uint16_t address, bool on);
// The request or its echo: a value other than on and off is refused.
std::optional<SingleWrite> ReadWriteSingleCoil(PduView pdu, std::string* why = nullptr);
// The echo's length, request and answer alike.
constexpr std::size_t kSingleWriteLength = 5;

extern const FunctionEntry kWriteSingleCoilFunction;

}  // namespace protocol
