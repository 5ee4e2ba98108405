#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "tools/slave/FaultPlan.h"
#include "tools/slave/SlaveOptions.h"

namespace slave {

// What goes wrong with one answer, whatever carries it.
struct AnswerFault {
    bool silent = false;
    bool corrupt = false;  // a bad check on a line, a wrong transaction id over the network
    bool wrongId = false;
    std::chrono::milliseconds delay{0};
};

// The faults a unit is started with: from the options, or from its entry in the simulator file.
struct FaultSettings {
    CFaultPlan plan;  // with a plan, delayMs holds back only its late answers
    bool silent = false;
    int corruptEvery = 0;  // 0: never; N: every Nth answer carries a bad check
    bool wrongId = false;
    int delayMs = 0;
};

FaultSettings FaultSettingsOf(const SlaveOptions& options);

// A fault switched on while the simulator runs, on top of the settings.
struct SwitchedFault {
    enum class Kind { Letters, Delay, Silent, Corrupt, WrongId };
    Kind kind = Kind::Silent;
    CFaultPlan plan;  // Letters
    int delayMs = 0;  // Delay
    // Answers it still spoils; none: until it is cleared. A plan also ends with its letters.
    std::optional<long> answers;
};

// The faults of a unit, answer by answer: the plan's letters in turn, every Nth answer
// corrupted, silence, another address and a delay (with a plan, only for its late ones), and
// over them whatever was switched on since.
class CAnswerFaults {
public:
    explicit CAnswerFaults(FaultSettings settings) : m_settings(std::move(settings)) {}

    // The faults of the next request the unit would answer.
    AnswerFault Next();

    void Switch(SwitchedFault fault) { m_switched.push_back(std::move(fault)); }
    void ClearSwitched() { m_switched.clear(); }
    std::size_t Switched() const { return m_switched.size(); }

private:
    void ApplySwitched(AnswerFault& result);

    FaultSettings m_settings;
    std::uint64_t m_nAnswers = 0;
    std::vector<SwitchedFault> m_switched;
};

}  // namespace slave
