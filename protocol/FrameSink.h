#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "protocol/Pdu.h"

namespace protocol {

// When a byte came in, on the clock a splitter's silences and waits are measured by.
using SteadyTime = std::chrono::steady_clock::time_point;

// The answer the line waits for: a request is out to this unit and function.
struct Expectation {
    std::uint8_t unit = 0;
    std::uint8_t function = 0;
};

// Where a splitter puts what it found on the line, in line order.
class IFrameSink {
public:
    virtual ~IFrameSink() = default;

    virtual std::optional<Expectation> Expected() const = 0;
    // A frame whose check is good: its message (address then PDU, no check) and its bytes as
    // they crossed the line (RTU with its CRC; ASCII the text between ':' and CR LF).
    virtual void Frame(const Bytes& message, Bytes shown, SteadyTime time) = 0;
    // Bytes that fit no frame; consecutive ones make one run.
    virtual void Noise(const std::uint8_t* data, std::size_t count, SteadyTime time) = 0;
    // A run shaped like a frame from or to `unit` whose check failed; `answersPending` when
    // it has the shape of the answer the line waits for.
    virtual void BadCheck(Bytes shown, SteadyTime time, std::string error, std::uint8_t unit,
                          bool answersPending) = 0;
    // The line has been quiet long enough that a run of noise is over.
    virtual void Quiet() = 0;
};

}  // namespace protocol
