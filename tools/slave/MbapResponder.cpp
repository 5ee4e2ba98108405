#include "tools/slave/MbapResponder.h"

#include <algorithm>

#include "protocol/Limits.h"
#include "protocol/MbapCodec.h"

namespace slave {

namespace {

// What masters send as the unit id of a device reached without a gateway, beside 0.
constexpr std::uint8_t kUnitNotUsed = 0xFF;

}  // namespace

CMbapResponder::CMbapResponder(const SlaveOptions& options, CSlaveLog& log)
    : m_options(options),
      m_log(log),
      m_bank(options.size),
      m_model(m_bank, options),
      m_device(m_model, options.ids),
      m_faults(options),
      m_start(std::chrono::steady_clock::now()) {
    m_device.Refuse(options.refused);
}

std::optional<MbapAnswer> CMbapResponder::Handle(const Bytes& adu) {
    const protocol::MbapHeader header = protocol::ReadMbapHeader(adu.data());
    const std::uint8_t unit = header.unit;
    const bool listed =
        std::find(m_options.ids.begin(), m_options.ids.end(), unit) != m_options.ids.end();
    if (!listed && unit != protocol::kBroadcastAddress && unit != kUnitNotUsed) {
        m_log.Frame("rx", adu, "other id");
        return std::nullopt;
    }
    // The serial protocol core takes the slave's own address where unit 0 would mean broadcast.
    Bytes message(adu.begin() + protocol::kMbapUnitAt, adu.end());
    message[0] = listed ? unit : static_cast<std::uint8_t>(m_options.ids.front());
    const auto elapsedMs =
        static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                       std::chrono::steady_clock::now() - m_start)
                                       .count());
    const SlaveReply reply = m_device.Handle(message, elapsedMs);
    if (reply.kind != SlaveReply::Kind::Answer) {
        m_log.Frame("rx", adu,
                    reply.kind == SlaveReply::Kind::Unanswered ? "listen only" : "short");
        return std::nullopt;
    }
    const AnswerFault fault = m_faults.Next();
    if (fault.silent) {
        m_log.Frame("rx", adu, "silent");
        return std::nullopt;
    }
    m_log.Frame("rx", adu);

    std::uint16_t transaction = header.transaction;
    if (fault.corrupt) {
        // Nothing in an ADU carries a check; an id the master never sent is the closest fault.
        transaction = static_cast<std::uint16_t>(~transaction);
    }
    const auto answerUnit = static_cast<std::uint8_t>(fault.wrongId ? unit % 255 + 1 : unit);
    MbapAnswer answer;
    answer.adu = protocol::MbapWrap(transaction, answerUnit, reply.answer.data() + 1,
                                    reply.answer.size() - 1);
    answer.corrupt = fault.corrupt;
    answer.delay = fault.delay;
    return answer;
}

}  // namespace slave
