#include "SlaveCore.h"

namespace slave {

namespace {

using namespace std::chrono_literals;

// Far past any frame's silence, so that each Send is a frame of its own.
constexpr auto kBetweenFrames = 1s;

}  // namespace

CSlaveCore::CSlaveCore(const SlaveOptions& options)
    : m_options(options),
      m_bank(options.size),
      m_model(m_bank, m_options),
      m_device(m_model, options.ids),
      m_rtu(RtuSilence(options)) {
    m_device.Refuse(options.refused);
}

Bytes CSlaveCore::Ask(const Bytes& message) {
    if (m_options.mode == Framing::Rtu) {
        const Bytes wire = Send(RtuEncode(message, false));
        const DecodedFrame answer = RtuDecode(wire);
        return answer.status == FrameStatus::Ok ? answer.message : Bytes{};
    }
    const std::string line = AsciiEncode(message, false);
    const Bytes wire = Send(Bytes(line.begin(), line.end()));
    if (wire.size() < 3) {
        return {};
    }
    // Between ':' and CR LF.
    const DecodedFrame answer = AsciiDecode(std::string(wire.begin() + 1, wire.end() - 2));
    return answer.status == FrameStatus::Ok ? answer.message : Bytes{};
}

Bytes CSlaveCore::Send(const Bytes& wire) {
    m_now += kBetweenFrames;
    if (m_options.mode == Framing::Rtu) {
        m_rtu.Feed(wire.data(), wire.size(), m_now);
        const auto frame = m_rtu.Take(m_now + kBetweenFrames);
        return frame ? Answer(*frame) : Bytes{};
    }
    m_ascii.Feed(wire.data(), wire.size());
    Bytes out;
    while (const auto frame = m_ascii.Next()) {
        DecodedFrame decoded;
        if (frame->overrun) {
            decoded.status = FrameStatus::Overrun;
        } else {
            decoded = AsciiDecode(frame->text);
        }
        const Bytes answer = Answer(decoded);
        out.insert(out.end(), answer.begin(), answer.end());
    }
    return out;
}

Bytes CSlaveCore::Answer(const DecodedFrame& frame) {
    const SlaveReply reply = m_device.Hear(frame, 0);
    m_lastKind = reply.kind;
    if (reply.kind != SlaveReply::Kind::Answer) {
        return {};
    }
    if (m_options.mode == Framing::Rtu) {
        return RtuEncode(reply.answer, false);
    }
    const std::string line = AsciiEncode(reply.answer, false);
    return Bytes(line.begin(), line.end());
}

}  // namespace slave
