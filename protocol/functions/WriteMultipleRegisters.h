#pragma once

#include <optional>
#include <string>

#include "protocol/FunctionTable.h"
#include "protocol/functions/MultipleWrite.h"

namespace protocol {

// Function WriteMultipleRegisters: start, count, byte count, the values; the answer echoes start
// and count.
struct RegistersWrite {
    std::uint16_t start = 0;
    Words values;
};

Bytes BuildWriteMultipleRegistersRequest(const RegistersWrite& write);
std::optional<RegistersWrite> ReadWriteMultipleRegistersRequest(PduView pdu,
                                                                std::string* why = nullptr);
Bytes BuildWriteMultipleRegistersAnswer(MultipleWrite write);
std::optional<MultipleWrite> ReadWriteMultipleRegistersAnswer(PduView pdu,
                                                              std::string* why = nullptr);

extern const FunctionEntry kWriteMultipleRegistersFunction;

}  // namespace protocol
