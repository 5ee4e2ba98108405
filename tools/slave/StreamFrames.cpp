#include "tools/slave/StreamFrames.h"

namespace slave {

namespace {

protocol::RtuSplitSettings RequestsOnly() {
    protocol::RtuSplitSettings settings;
    settings.roles = protocol::FrameRoles::Requests;
    return settings;
}

}  // namespace

CStreamFrames::CStreamFrames(Framing mode) : m_mode(mode), m_rtu(*this, RequestsOnly()) {}

void CStreamFrames::Feed(const std::uint8_t* data, std::size_t count, protocol::SteadyTime now) {
    if (m_mode == Framing::Rtu) {
        m_rtu.Feed(data, count, now);
        return;
    }
    m_ascii.Feed(data, count);
    while (auto frame = m_ascii.Next()) {
        HeardFrame heard;
        if (frame->overrun) {
            heard.frame.status = FrameStatus::Overrun;
        } else {
            heard.frame = AsciiDecode(frame->text);
        }
        heard.asciiText = std::move(frame->text);
        m_heard.push_back(std::move(heard));
    }
}

void CStreamFrames::Tick(protocol::SteadyTime now) {
    if (m_mode == Framing::Rtu) {
        m_rtu.Tick(now);
    }
}

std::optional<protocol::SteadyTime> CStreamFrames::Deadline() const {
    return m_mode == Framing::Rtu ? m_rtu.Deadline() : std::nullopt;
}

std::vector<HeardFrame> CStreamFrames::Take() {
    std::vector<HeardFrame> heard;
    heard.swap(m_heard);
    return heard;
}

void CStreamFrames::Frame(const Bytes& message, Bytes shown, protocol::SteadyTime) {
    HeardFrame heard;
    heard.frame.status = FrameStatus::Ok;
    heard.frame.frame = std::move(shown);
    heard.frame.message = message;
    m_heard.push_back(std::move(heard));
}

void CStreamFrames::BadCheck(Bytes shown, protocol::SteadyTime, std::string, std::uint8_t, bool) {
    HeardFrame heard;
    heard.frame.status = FrameStatus::BadCheck;
    heard.frame.frame = std::move(shown);
    m_heard.push_back(std::move(heard));
}

}  // namespace slave
