#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

#include "tools/slave/FrameCheck.h"
#include "tools/slave/LineDevice.h"

namespace slave {

// A listen-only adapter on the line's two wires: a pseudo-terminal of its own whose reader
// hears every byte of both directions at the time it crosses the wire. It never holds the
// slave back: writes do not block, and bytes the pseudo-terminal does not take are dropped.
class CLineTap {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t kBound = 64 * 1024;

    // A new pseudo-terminal at the options' line settings, its terminal side held in raw mode.
    bool Open(const SlaveOptions& options, std::string& error);

    int Fd() const { return m_line.Fd(); }
    // The path a monitor opens.
    const std::string& Path() const { return m_line.Path(); }

    // Bytes on the wire: the first at `first`, each next one `spacing` later.
    void Hear(const std::uint8_t* data, std::size_t count, Clock::time_point first,
              Clock::duration spacing);
    std::optional<Clock::time_point> NextDue() const;
    // Hands on what is due by now; what the pseudo-terminal does not take is dropped.
    void Flush(Clock::time_point now);

    std::uint64_t Dropped() const { return m_dropped; }

private:
    struct Timed {
        Clock::time_point due;
        std::uint8_t byte;
    };

    CLineDevice m_line;
    std::deque<Timed> m_timed;  // in the order of their times
    Bytes m_out;                // due, handed on at the next Flush
    std::uint64_t m_dropped = 0;
};

}  // namespace slave
