#pragma once

#include <optional>
#include <string>

#include "protocol/FunctionTable.h"
#include "protocol/functions/SingleWrite.h"
#include "protocol/functions/WriteSingleCoil.h"

namespace protocol {

// Function 6: address and value; the answer echoes the request.
Bytes BuildWriteSingleRegister(SingleWrite write);
std::optional<SingleWrite> ReadWriteSingleRegister(PduView pdu, std::string* why = nullptr);

extern const FunctionEntry kWriteSingleRegisterFunction;

}  // namespace protocol
