#include "tools/slave/RtuFramer.h"

namespace slave {

void CRtuFramer::Feed(const std::uint8_t* data, std::size_t count, Clock::time_point now) {
    if (count == 0) {
        return;
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (m_buffer.size() < kMaxFrame) {
            m_buffer.push_back(data[i]);
        } else {
            m_bOverrun = true;
        }
    }
    m_lastByte = now;
}

std::optional<CRtuFramer::Clock::time_point> CRtuFramer::Deadline() const {
    if (m_buffer.empty()) {
        return std::nullopt;
    }
    return m_lastByte + m_silence;
}

std::optional<DecodedFrame> CRtuFramer::Take(Clock::time_point now) {
    const auto deadline = Deadline();
    if (!deadline || now < *deadline) {
        return std::nullopt;
    }
    DecodedFrame decoded;
    if (m_bOverrun) {
        decoded.status = FrameStatus::Overrun;
        decoded.frame = std::move(m_buffer);
    } else {
        decoded = RtuDecode(m_buffer);
    }
    m_buffer.clear();
    m_bOverrun = false;
    return decoded;
}

DecodedFrame RtuDecode(const Bytes& frame) {
    DecodedFrame decoded;
    decoded.frame = frame;
    if (frame.size() < 4) {
        decoded.status = FrameStatus::Short;
        return decoded;
    }
    // The CRC over a whole frame, its own two bytes included, comes out as 0.
    if (Crc16(frame) != 0) {
        decoded.status = FrameStatus::BadCheck;
        return decoded;
    }
    decoded.status = FrameStatus::Ok;
    decoded.message.assign(frame.begin(), frame.end() - 2);
    return decoded;
}

Bytes RtuEncode(const Bytes& message, bool corrupt) {
    std::uint16_t crc = Crc16(message);
    if (corrupt) {
        crc ^= 0xFFFF;
    }
    Bytes frame = message;
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    return frame;
}

}  // namespace slave
