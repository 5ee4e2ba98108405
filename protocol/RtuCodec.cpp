#include "protocol/RtuCodec.h"

#include "protocol/Crc16.h"
#include "protocol/Limits.h"

namespace protocol {

Bytes RtuWrap(const std::uint8_t* message, std::size_t length) {
    const std::uint16_t crc = CCrc16::Compute(message, length);
    Bytes frame(message, message + length);
    frame.push_back(LowByte(crc));
    frame.push_back(HighByte(crc));
    return frame;
}

bool RtuCheckMatches(const std::uint8_t* frame, std::size_t length) {
    if (length < kRtuCheckSize) {
        return false;
    }
    const std::uint16_t crc = CCrc16::Compute(frame, length - kRtuCheckSize);
    return frame[length - 2] == LowByte(crc) && frame[length - 1] == HighByte(crc);
}

std::optional<Bytes> RtuUnwrap(const Bytes& frame) {
    if (frame.size() < kMinRtuFrame || !RtuCheckMatches(frame.data(), frame.size())) {
        return std::nullopt;
    }
    return Bytes(frame.begin(), frame.end() - kRtuCheckSize);
}

}  // namespace protocol
