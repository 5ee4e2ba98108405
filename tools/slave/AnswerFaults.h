#pragma once

#include <chrono>
#include <cstdint>

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

// The faults the options ask for, answer by answer: the plan's letters in turn, every Nth
// answer corrupted, --silent, --wrong-id and --delay (with a plan, only for its late ones).
class CAnswerFaults {
public:
    explicit CAnswerFaults(const SlaveOptions& options)
        : m_options(options), m_plan(options.faultPlan) {}

    // The faults of the next request the slave would answer.
    AnswerFault Next();

private:
    const SlaveOptions& m_options;
    CFaultPlan m_plan;
    std::uint64_t m_nAnswers = 0;
};

}  // namespace slave
