#include "tools/slave/AnswerFaults.h"

namespace slave {

AnswerFault CAnswerFaults::Next() {
    AnswerFault result;
    const bool planned = !m_plan.Empty();
    const Fault fault = m_plan.Next();
    if (m_options.silent || fault == Fault::Silent) {
        result.silent = true;
        return result;
    }
    // Silent requests do not count: --corrupt N spoils every Nth answer actually sent.
    ++m_nAnswers;
    result.corrupt = fault == Fault::Corrupt ||
                     (m_options.corruptEvery > 0 &&
                      m_nAnswers % static_cast<std::uint64_t>(m_options.corruptEvery) == 0);
    result.wrongId = m_options.wrongId || fault == Fault::WrongId;
    const bool late = !planned || fault == Fault::Delay;
    result.delay = std::chrono::milliseconds(late ? m_options.delayMs : 0);
    return result;
}

}  // namespace slave
