#pragma once

#include <optional>
#include <string>

#include "protocol/FunctionTable.h"
#include "protocol/functions/MultipleWrite.h"

namespace protocol {

// Function WriteMultipleCoils: start, count, byte count, the bits; the answer echoes start and
// count.
struct CoilsWrite {
    std::uint16_t start = 0;
    Bytes bits;
};

Bytes BuildWriteMultipleCoilsRequest(const CoilsWrite& write);
std::optional<CoilsWrite> ReadWriteMultipleCoilsRequest(PduView pdu, std::string* why = nullptr);
Bytes BuildWriteMultipleCoilsAnswer(MultipleWrite write);
std::optional<MultipleWrite> ReadWriteMultipleCoilsAnswer(PduView pdu, std::string* why = nullptr);

extern const FunctionEntry kWriteMultipleCoilsFunction;

}  // namespace protocol
