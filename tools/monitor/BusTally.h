#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "tools/monitor/BusDecoder.h"

namespace monitor {

// The counts of every slave heard, by address.
class CBusTally {
public:
    void Request(std::uint8_t slave);
    void Answer(std::uint8_t slave, std::optional<double> answerMs);
    void Exception(std::uint8_t slave, std::optional<double> answerMs);
    void Unanswered(std::uint8_t slave);
    void CheckError(std::uint8_t slave);

    std::vector<std::pair<std::uint8_t, SlaveTally>> Tallies() const;

private:
    struct Entry {
        SlaveTally tally;
        double totalMs = 0;
        std::uint32_t timed = 0;
    };
    void Time(Entry& entry, std::optional<double> answerMs);

    std::map<std::uint8_t, Entry> m_slaves;
};

}  // namespace monitor
