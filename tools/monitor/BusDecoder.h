#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "tools/monitor/MonitorRecord.h"

namespace monitor {

struct DecoderSettings {
    MonitorMode mode = MonitorMode::Auto;
    // One character on the line (start, data, parity and stop bits at the bit rate); RTU's
    // 3.5-character silence derives from it.
    std::chrono::nanoseconds characterTime{std::chrono::microseconds(1146)};
    // How long a request waits for its answer before it counts as unanswered.
    std::chrono::milliseconds answerTimeout{1000};
};

// Counts for one slave, as the summary prints them.
struct SlaveTally {
    std::uint32_t requests = 0;
    std::uint32_t answers = 0;  // exceptions not included
    std::uint32_t exceptions = 0;
    std::uint32_t unanswered = 0;
    std::uint32_t checkErrors = 0;  // frames from or to the slave whose check failed
    double leastMs = 0;             // answer times, answers and exceptions alike
    double meanMs = 0;
    double greatestMs = 0;
    std::uint32_t timed = 0;  // answers and exceptions whose request was heard: the times' count
};

// Turns the bytes a listen-only line hears into records: frames split by the line's silences
// where it delivers in time, and by the lengths each function implies and the check where it
// does not (bursts, network pieces); bytes that fit no frame come out as noise. Answers are
// paired with their request. Feeds and ticks must come in time order.
// A frame is reported only with a good check. RTU bytes whose frame shape asks for more wait
// for them until 50 ms of quiet (two 3.5-character silences on slower lines), an unended ASCII
// line for a second; then they are noise. Everything held is bounded: 512 RTU bytes, one
// ASCII line, 2048 bytes while auto mode decides, one pending request, 4096 records.
class CBusDecoder {
public:
    explicit CBusDecoder(const DecoderSettings& settings);
    ~CBusDecoder();
    CBusDecoder(const CBusDecoder&) = delete;
    CBusDecoder& operator=(const CBusDecoder&) = delete;

    void Feed(const std::uint8_t* data, std::size_t count, Clock::time_point arrived);
    // The line has said nothing more up to now: frames ended by silence, and requests whose
    // answer time is out, are decided.
    void Tick(Clock::time_point now);
    // When Tick next has something to decide; none while nothing waits.
    std::optional<Clock::time_point> Deadline() const;
    // The end of input: whatever is held becomes records, pending requests unanswered.
    void Finish(Clock::time_point now);

    // Records decided since the last call, in line order.
    std::vector<MonitorRecord> Take();

    // Rtu or Ascii once decided; Auto until then.
    MonitorMode Mode() const;
    // Noise bytes seen so far, and the tally of every slave heard, by address.
    std::uint64_t NoiseBytes() const;
    std::vector<std::pair<std::uint8_t, SlaveTally>> Tallies() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace monitor
