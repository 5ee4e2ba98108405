#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "tools/monitor/MonitorRecord.h"

namespace monitor {

// The records decided and not yet taken, in line order, with the run of noise being heard
// merged into one record. Bounded: past its cap the oldest records are dropped (a
// caller that takes after each read of a few kilobytes never gets there).
class CRecordQueue {
public:
    // Ends the run of noise first.
    void Push(MonitorRecord record);
    void AddNoise(const std::uint8_t* data, std::size_t count, Clock::time_point time);
    void EndNoise();
    std::vector<MonitorRecord> Take();

    std::uint64_t NoiseBytes() const { return m_noiseBytes; }
    // Whether a frame with a good check has been heard.
    bool HeardFrame() const { return m_heardFrame; }

private:
    void Append(MonitorRecord record);

    std::deque<MonitorRecord> m_records;
    std::optional<MonitorRecord> m_noise;
    std::uint64_t m_noiseBytes = 0;
    bool m_heardFrame = false;
};

}  // namespace monitor
