#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>

#include "tools/slave/FrameCheck.h"

namespace slave {

// The simulator's output as a real wire and adapter deliver it: paced, each byte leaves one
// character time after the one before; in bursts, the master gets what has left only at each
// tick of a latency timer (a USB adapter's 16 ms). Bytes leave in the order queued.
class CLinePacer {
public:
    using Clock = std::chrono::steady_clock;

    // A character time of 0 sends at once; a burst of 0 delivers as soon as a byte has left.
    CLinePacer(Clock::duration characterTime, Clock::duration burst, Clock::time_point origin);

    // Returns when the first byte has left the wire; each next one leaves a character time later.
    Clock::time_point Queue(const std::uint8_t* data, std::size_t count, Clock::time_point ready);
    std::optional<Clock::time_point> NextDue() const;
    Bytes TakeDue(Clock::time_point now);

private:
    struct Pending {
        Clock::time_point due;
        std::uint8_t byte;
    };

    Clock::duration m_characterTime;
    Clock::duration m_burst;
    Clock::time_point m_origin;
    Clock::time_point m_lineFree;
    std::deque<Pending> m_queue;
};

}  // namespace slave
