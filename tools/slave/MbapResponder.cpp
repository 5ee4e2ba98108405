#include "tools/slave/MbapResponder.h"

#include <algorithm>

#include "tools/slave/MbapFrame.h"

namespace slave {

CMbapResponder::CMbapResponder(const SlaveOptions& options, CSlaveLog& log)
    : m_options(options),
      m_log(log),
      m_bank(options.size),
      m_protocol(m_bank, options.ids, options.identity),
      m_faults(options),
      m_start(std::chrono::steady_clock::now()) {
    m_protocol.Refuse(options.refused);
}

std::optional<MbapAnswer> CMbapResponder::Handle(const Bytes& adu) {
    const std::uint8_t unit = MbapUnit(adu);
    const bool listed =
        std::find(m_options.ids.begin(), m_options.ids.end(), unit) != m_options.ids.end();
    if (!listed && unit != 0 && unit != 255) {
        m_log.Frame("rx", adu, "other id");
        return std::nullopt;
    }
    // The serial protocol core takes the slave's own address where unit 0 would mean broadcast.
    Bytes message(adu.begin() + kMbapHeaderSize - 1, adu.end());
    message[0] = listed ? unit : static_cast<std::uint8_t>(m_options.ids.front());
    const auto elapsedMs =
        static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                       std::chrono::steady_clock::now() - m_start)
                                       .count());
    const SlaveReply reply = m_protocol.Handle(message, elapsedMs);
    if (reply.kind != SlaveReply::Kind::Answer) {
        m_log.Frame("rx", adu, "short");
        return std::nullopt;
    }
    const AnswerFault fault = m_faults.Next();
    if (fault.silent) {
        m_log.Frame("rx", adu, "silent");
        return std::nullopt;
    }
    m_log.Frame("rx", adu);

    std::uint16_t transaction = MbapTransaction(adu);
    if (fault.corrupt) {
        // Nothing in an ADU carries a check; an id the master never sent is the closest fault.
        transaction = static_cast<std::uint16_t>(~transaction);
    }
    const auto answerUnit = static_cast<std::uint8_t>(fault.wrongId ? unit % 255 + 1 : unit);
    MbapAnswer answer;
    answer.adu =
        EncodeMbap(transaction, answerUnit, reply.answer.data() + 1, reply.answer.size() - 1);
    answer.corrupt = fault.corrupt;
    answer.delay = fault.delay;
    return answer;
}

}  // namespace slave
