#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "tools/monitor/MonitorRecord.h"

namespace monitor {

// Splits the bytes a line hears into frames and noise for an IFrameSink.
class ISplitter {
public:
    virtual ~ISplitter() = default;

    virtual void Feed(const std::uint8_t* data, std::size_t count, Clock::time_point arrived) = 0;
    virtual void Tick(Clock::time_point now) = 0;
    virtual void Finish(Clock::time_point now) = 0;
    virtual std::optional<Clock::time_point> Deadline() const = 0;
    // When the oldest byte still undecided came in; none when nothing is held.
    virtual std::optional<Clock::time_point> OldestHeld() const = 0;
};

}  // namespace monitor
