#include "tools/slave/AsciiFramer.h"

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
        if (m_text.size() >= kMaxText) {
            // Too long for any Modbus frame: report it and wait for the next ":".
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
    DecodedFrame decoded;
    if (text.size() % 2 != 0) {
        decoded.status = FrameStatus::BadHex;
        return decoded;
    }
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const auto high = HexNibble(text[i]);
        const auto low = HexNibble(text[i + 1]);
        if (!high || !low) {
            decoded.status = FrameStatus::BadHex;
            decoded.frame.clear();
            return decoded;
        }
        decoded.frame.push_back(static_cast<std::uint8_t>(*high << 4 | *low));
    }
    if (decoded.frame.size() < 3) {
        decoded.status = FrameStatus::Short;
        return decoded;
    }
    const Bytes message(decoded.frame.begin(), decoded.frame.end() - 1);
    if (Lrc(message) != decoded.frame.back()) {
        decoded.status = FrameStatus::BadCheck;
        return decoded;
    }
    decoded.status = FrameStatus::Ok;
    decoded.message = message;
    return decoded;
}

std::string AsciiEncode(const Bytes& message, bool corrupt) {
    Bytes withCheck = message;
    std::uint8_t lrc = Lrc(message);
    if (corrupt) {
        lrc = static_cast<std::uint8_t>(lrc + 1);
    }
    withCheck.push_back(lrc);
    std::string line(1, ':');
    line += HexDigits(withCheck);
    line += "\r\n";
    return line;
}

}  // namespace slave
