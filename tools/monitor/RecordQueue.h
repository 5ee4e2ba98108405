#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "tools/monitor/MonitorRecord.h"

namespace monitor {

// The records decided and not yet taken, in line order, with the run of noise being heard
// merged into one record. Bounded: past its cap the oldest records are dropped and counted.
class CRecordQueue {
public:
    // Ends the run of noise first.
    void Push(MonitorRecord record);
    void AddNoise(const std::uint8_t* data, std::size_t count, Clock::time_point time);
    void EndNoise();
    std::vector<MonitorRecord> Take();

    std::uint64_t NoiseBytes() const { return m_noiseBytes; }
    std::uint64_t Dropped() const { return m_dropped; }
    // Whether a frame with a good check has been heard.
    bool HeardFrame() const { return m_heardFrame; }

private:
    void Append(MonitorRecord record);

    std::deque<MonitorRecord> m_records;
    std::optional<MonitorRecord> m_noise;
    std::uint64_t m_noiseBytes = 0;
    std::uint64_t m_dropped = 0;
    bool m_heardFrame = false;
};

}  // namespace monitor
