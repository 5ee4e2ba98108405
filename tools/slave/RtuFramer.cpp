#include "tools/slave/RtuFramer.h"

#include "protocol/RtuCodec.h"

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
    if (frame.size() < protocol::kMinRtuFrame) {
        decoded.status = FrameStatus::Short;
        return decoded;
    }
    if (auto message = protocol::RtuUnwrap(frame)) {
        decoded.status = FrameStatus::Ok;
        decoded.message = std::move(*message);
    } else {
        decoded.status = FrameStatus::BadCheck;
    }
    return decoded;
}

Bytes RtuEncode(const Bytes& message, bool corrupt) {
    Bytes frame = protocol::RtuWrap(message);
    if (corrupt) {
        for (std::size_t i = frame.size() - protocol::kRtuCheckSize; i < frame.size(); ++i) {
            frame[i] = static_cast<std::uint8_t>(~frame[i]);
        }
    }
    return frame;
}

}  // namespace slave
