#include "tools/slave/MbapResponder.h"

#include <algorithm>

#include "protocol/Limits.h"
#include "protocol/MbapCodec.h"

namespace slave {

namespace {

// What masters send as the unit id of a device reached without a gateway, beside 0.
constexpr std::uint8_t kUnitNotUsed = 0xFF;

}  // namespace

std::optional<MbapAnswer> CMbapResponder::Handle(const Bytes& adu) {
    const protocol::MbapHeader header = protocol::ReadMbapHeader(adu.data());
    const std::uint8_t unit = header.unit;
    const bool listed = m_units.Answers(unit);
    if (!listed && unit != protocol::kBroadcastAddress && unit != kUnitNotUsed) {
        m_log.Frame("rx", adu, "other id");
        return std::nullopt;
    }
    // The serial protocol core takes the slave's own address where unit 0 would mean broadcast.
    Bytes message(adu.begin() + protocol::kMbapUnitAt, adu.end());
    message[0] = listed ? unit : static_cast<std::uint8_t>(m_units.FirstId());
    const ServedRequest served = m_units.Serve(message);
    const SlaveReply& reply = served.reply;
    if (reply.kind != SlaveReply::Kind::Answer) {
        m_log.Frame("rx", adu,
                    reply.kind == SlaveReply::Kind::Unanswered ? "listen only" : "short");
        return std::nullopt;
    }
    const AnswerFault& fault = served.fault;
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
