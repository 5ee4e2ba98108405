#include "tools/slave/AnswerFaults.h"

#include <algorithm>

namespace slave {

FaultSettings FaultSettingsOf(const SlaveOptions& options) {
    FaultSettings settings;
    settings.plan = options.faultPlan;
    settings.silent = options.silent;
    settings.corruptEvery = options.corruptEvery;
    settings.wrongId = options.wrongId;
    settings.delayMs = options.delayMs;
    return settings;
}

AnswerFault CAnswerFaults::Next() {
    AnswerFault result;
    const bool planned = !m_settings.plan.Empty();
    const Fault fault = m_settings.plan.Next();
    if (m_settings.silent || fault == Fault::Silent) {
        result.silent = true;
    } else {
        // Silent requests do not count: --corrupt N spoils every Nth answer actually sent.
        ++m_nAnswers;
        result.corrupt = fault == Fault::Corrupt ||
                         (m_settings.corruptEvery > 0 &&
                          m_nAnswers % static_cast<std::uint64_t>(m_settings.corruptEvery) == 0);
        result.wrongId = m_settings.wrongId || fault == Fault::WrongId;
        const bool late = !planned || fault == Fault::Delay;
        result.delay = std::chrono::milliseconds(late ? m_settings.delayMs : 0);
    }
    ApplySwitched(result);
    return result;
}

void CAnswerFaults::ApplySwitched(AnswerFault& result) {
    for (SwitchedFault& fault : m_switched) {
        switch (fault.kind) {
            case SwitchedFault::Kind::Letters:
                switch (fault.plan.Next()) {
                    case Fault::Corrupt:
                        result.corrupt = true;
                        break;
                    case Fault::Silent:
                        result.silent = true;
                        break;
                    case Fault::Delay:
                        result.delay = std::chrono::milliseconds(m_settings.delayMs);
                        break;
                    case Fault::WrongId:
                        result.wrongId = true;
                        break;
                    case Fault::None:
                        break;
                }
                break;
            case SwitchedFault::Kind::Delay:
                result.delay = std::chrono::milliseconds(fault.delayMs);
                break;
            case SwitchedFault::Kind::Silent:
                result.silent = true;
                break;
            case SwitchedFault::Kind::Corrupt:
                result.corrupt = true;
                break;
            case SwitchedFault::Kind::WrongId:
                result.wrongId = true;
                break;
        }
        if (fault.answers) {
            --*fault.answers;
        }
    }
    std::erase_if(m_switched, [](const SwitchedFault& fault) {
        return (fault.answers && *fault.answers <= 0) ||
               (fault.kind == SwitchedFault::Kind::Letters && fault.plan.Done());
    });
}

}  // namespace slave
