#pragma once

#include <optional>
#include <string>

#include "protocol/FunctionTable.h"

namespace protocol {

// Function 22: one holding register changed bit by bit.
// Request: address, AND mask, OR mask. The normal answer echoes the request.
struct MaskWrite {
    std::uint16_t address = 0;
    std::uint16_t andMask = 0;
    std::uint16_t orMask = 0;

    friend bool operator==(const MaskWrite&, const MaskWrite&) = default;
};

// What the register holds after: the bits the AND mask keeps, the rest from the OR mask.
std::uint16_t MaskedValue(std::uint16_t current, MaskWrite mask);

Bytes BuildMaskWriteRegisterRequest(MaskWrite mask);
std::optional<MaskWrite> ReadMaskWriteRegisterRequest(PduView pdu, std::string* why = nullptr);

Bytes BuildMaskWriteRegisterAnswer(MaskWrite mask);
std::optional<MaskWrite> ReadMaskWriteRegisterAnswer(PduView pdu, std::string* why = nullptr);

extern const FunctionEntry kMaskWriteRegisterFunction;

}  // namespace protocol
