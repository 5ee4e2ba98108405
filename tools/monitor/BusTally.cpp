#include "tools/monitor/BusTally.h"

#include <algorithm>

namespace monitor {

void CBusTally::Request(std::uint8_t slave) {
    ++m_slaves[slave].tally.requests;
}

void CBusTally::Answer(std::uint8_t slave, std::optional<double> answerMs) {
    Entry& entry = m_slaves[slave];
    ++entry.tally.answers;
    Time(entry, answerMs);
}

void CBusTally::Exception(std::uint8_t slave, std::optional<double> answerMs) {
    Entry& entry = m_slaves[slave];
    ++entry.tally.exceptions;
    Time(entry, answerMs);
}

void CBusTally::Unanswered(std::uint8_t slave) {
    ++m_slaves[slave].tally.unanswered;
}

void CBusTally::CheckError(std::uint8_t slave) {
    ++m_slaves[slave].tally.checkErrors;
}

std::vector<std::pair<std::uint8_t, SlaveTally>> CBusTally::Tallies() const {
    std::vector<std::pair<std::uint8_t, SlaveTally>> tallies;
    for (const auto& [slave, entry] : m_slaves) {
        tallies.emplace_back(slave, entry.tally);
    }
    return tallies;
}

void CBusTally::Time(Entry& entry, std::optional<double> answerMs) {
    if (!answerMs) {
        return;
    }
    SlaveTally& tally = entry.tally;
    tally.leastMs = entry.timed == 0 ? *answerMs : std::min(tally.leastMs, *answerMs);
    tally.greatestMs = entry.timed == 0 ? *answerMs : std::max(tally.greatestMs, *answerMs);
    entry.totalMs += *answerMs;
    ++entry.timed;
    tally.timed = entry.timed;
    tally.meanMs = entry.totalMs / entry.timed;
}

}  // namespace monitor
