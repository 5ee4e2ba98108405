#pragma once

#include <memory>

#include "tools/monitor/BusDecoder.h"
#include "tools/monitor/FramingPath.h"
#include "tools/monitor/RecordQueue.h"

namespace monitor {

// Runs the framing asked for, or, in auto mode, both until one of them hears a frame with a
// good check: the first is taken, the other dropped. Until then a bounded amount of bytes is
// held; past it they are reported as noise and both start over.
class CModeGuess {
public:
    explicit CModeGuess(const DecoderSettings& settings);

    void Feed(const std::uint8_t* data, std::size_t count, Clock::time_point arrived);
    void Tick(Clock::time_point now);
    void Finish(Clock::time_point now);
    std::optional<Clock::time_point> Deadline() const;
    std::vector<MonitorRecord> Take();

    MonitorMode Mode() const { return m_mode; }
    std::uint64_t NoiseBytes() const;
    std::vector<std::pair<std::uint8_t, SlaveTally>> Tallies() const;

private:
    CFramingPath* Chosen() const;
    void Guess();
    void GiveUpHeld(Clock::time_point time);
    void StartOver();

    DecoderSettings m_settings;
    MonitorMode m_mode;
    std::unique_ptr<CFramingPath> m_rtu;
    std::unique_ptr<CFramingPath> m_ascii;
    Bytes m_held;          // what both heard while guessing
    CRecordQueue m_given;  // held bytes given up as noise
};

}  // namespace monitor
