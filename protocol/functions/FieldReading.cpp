#include "protocol/functions/FieldReading.h"

#include <cstdio>

namespace protocol {

bool HasSize(PduView pdu, std::size_t size, std::string* why) {
    if (pdu.size() == size) {
        return true;
    }
    if (why != nullptr) {
        *why = std::to_string(pdu.size()) + " bytes where the function has " + std::to_string(size);
    }
    return false;
}

bool HasAtLeast(PduView pdu, std::size_t size, std::string* why) {
    if (pdu.size() >= size) {
        return true;
    }
    if (why != nullptr) {
        *why = std::to_string(pdu.size()) + " bytes, fewer than the function's " +
               std::to_string(size);
    }
    return false;
}

bool CountFits(std::uint16_t count, std::uint16_t most, const char* what, std::string* why) {
    if (count >= 1 && count <= most) {
        return true;
    }
    if (why != nullptr) {
        *why = std::string(what) + " " + std::to_string(count) + " outside 1 to " +
               std::to_string(most);
    }
    return false;
}

PduLength CountedLength(PduView have, std::size_t countAt) {
    if (have.size() <= countAt) {
        return PduLength::NeedMore(countAt + 1);
    }
    return PduLength::Bounded(countAt + 1 + have[countAt]);
}

Bytes IllegalValue(PduView request) {
    return ExceptionPdu(request[0], kIllegalDataValue);
}

std::string Hex16(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(value));
    return text;
}

}  // namespace protocol
