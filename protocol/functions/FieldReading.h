#pragma once

#include <optional>
#include <string>

#include "protocol/FunctionTable.h"

namespace protocol {

// What the function files share in reading PDUs: the checks every function makes the same way,
// each saying why it failed.

// A PDU of exactly `size` bytes.
bool HasSize(PduView pdu, std::size_t size, std::string* why);
// A PDU of at least `size` bytes.
bool HasAtLeast(PduView pdu, std::size_t size, std::string* why);
// A count within 1..most.
bool CountFits(std::uint16_t count, std::uint16_t most, const char* what, std::string* why);
// Sets *why, when asked for, and gives none.
template <typename T>
std::optional<T> Refuse(std::string* why, std::string reason) {
    if (why != nullptr) {
        *why = std::move(reason);
    }
    return std::nullopt;
}

// The length of a PDU whose byte count at countAt counts the bytes after it.
PduLength CountedLength(PduView have, std::size_t countAt);

// The answer of a request a device refused by its own rules, by the reason's kind.
Bytes IllegalValue(PduView request);

std::string Hex16(std::uint16_t value);

}  // namespace protocol
