#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "protocol/Limits.h"
#include "tools/slave/FrameCheck.h"

namespace slave {

// Cuts the RTU byte stream into frames: a frame ends when the line has been silent for the
// configured time after its last byte.
class CRtuFramer {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t kMaxFrame = protocol::kMaxRtuFrame;

    explicit CRtuFramer(std::chrono::microseconds silence) : m_silence(silence) {}

    void Feed(const std::uint8_t* data, std::size_t count, Clock::time_point now);
    // When the bytes gathered so far become a frame, unless more arrive; nullopt when empty.
    std::optional<Clock::time_point> Deadline() const;
    // The finished frame once its silence has passed at now, checked and decoded.
    std::optional<DecodedFrame> Take(Clock::time_point now);

private:
    std::chrono::microseconds m_silence;
    Bytes m_buffer;
    bool m_bOverrun = false;
    Clock::time_point m_lastByte{};
};

// Checks one whole frame: at least address, function and CRC, and the CRC right.
DecodedFrame RtuDecode(const Bytes& frame);
// The message with its CRC, low byte first; corrupt inverts the CRC's bits, for --corrupt.
Bytes RtuEncode(const Bytes& message, bool corrupt);

}  // namespace slave
