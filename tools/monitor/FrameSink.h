#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "tools/monitor/MonitorRecord.h"

namespace monitor {

// The answer the bus waits for: a request from the master is out to this slave and function.
struct Expectation {
    std::uint8_t slave = 0;
    std::uint8_t function = 0;
};

// Where a splitter puts what it found on the line, in line order.
class IFrameSink {
public:
    virtual ~IFrameSink() = default;

    virtual std::optional<Expectation> Expected() const = 0;
    // A frame whose check is good: its message (address to data, no check) and its bytes as
    // the record shows them.
    virtual void Frame(const Bytes& message, Bytes shown, Clock::time_point time) = 0;
    // Bytes that fit no frame; consecutive ones make one record.
    virtual void Noise(const std::uint8_t* data, std::size_t count, Clock::time_point time) = 0;
    // A run shaped like a frame from or to `slave` whose check failed; `answersPending` when
    // it has the shape of the answer the bus waits for.
    virtual void BadCheck(Bytes shown, Clock::time_point time, std::string error,
                          std::uint8_t slave, bool answersPending) = 0;
    // The line has been quiet long enough that a run of noise is over.
    virtual void Quiet() = 0;
};

}  // namespace monitor
