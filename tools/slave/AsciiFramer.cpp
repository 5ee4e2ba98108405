#include "tools/slave/AsciiFramer.h"

#include "protocol/AsciiCodec.h"
#include "protocol/Lrc.h"

namespace slave {

void CAsciiFramer::Feed(const std::uint8_t* data, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const char c = static_cast<char>(data[i]);
        if (c == ':') {
            m_state = State::InFrame;
            m_text.clear();
            continue;
        }
        if (m_state == State::Idle) {
            continue;
        }
        if (c == '\n' && !m_text.empty() && m_text.back() == '\r') {
            m_text.pop_back();
            m_ready.push_back({std::move(m_text), false});
            m_text.clear();
            m_state = State::Idle;
            continue;
        }
        // The CR of the longest frame waits here for its LF.
        if (m_text.size() > kMaxText) {
            // Too long for any Modbus frame: report its start and wait for the next ":".
            m_text.resize(kMaxText);
            m_ready.push_back({std::move(m_text), true});
            m_text.clear();
            m_state = State::Idle;
            continue;
        }
        m_text += c;
    }
}

std::optional<AsciiFrame> CAsciiFramer::Next() {
    if (m_ready.empty()) {
        return std::nullopt;
    }
    AsciiFrame frame = std::move(m_ready.front());
    m_ready.pop_front();
    return frame;
}

DecodedFrame AsciiDecode(const std::string& text) {
    protocol::AsciiText unwrapped = protocol::AsciiUnwrap(text);
    DecodedFrame decoded;
    decoded.frame = std::move(unwrapped.bytes);
    switch (unwrapped.status) {
        case protocol::AsciiText::Status::Ok:
            decoded.status = FrameStatus::Ok;
            decoded.message = std::move(unwrapped.message);
            break;
        case protocol::AsciiText::Status::BadHex:
            decoded.status = FrameStatus::BadHex;
            break;
        case protocol::AsciiText::Status::Short:
            decoded.status = FrameStatus::Short;
            break;
        case protocol::AsciiText::Status::BadCheck:
            decoded.status = FrameStatus::BadCheck;
            break;
    }
    return decoded;
}

std::string AsciiEncode(const Bytes& message, bool corrupt) {
    Bytes line = protocol::AsciiWrap(message);
    if (corrupt) {
        // The LRC's two digits sit before CR LF.
        const auto wrong =
            static_cast<std::uint8_t>(ComputeLrc(message.data(), message.size()) + 1);
        const std::size_t digits = line.size() - 4;
        line[digits] = static_cast<std::uint8_t>(NibbleToHexDigit(wrong >> 4));
        line[digits + 1] = static_cast<std::uint8_t>(NibbleToHexDigit(wrong & 0x0F));
    }
    return std::string(line.begin(), line.end());
}

}  // namespace slave
