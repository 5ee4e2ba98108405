#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "protocol/FrameSink.h"

namespace protocol {

// Which side of an exchange a splitter looks for: a device hears requests, a master answers,
// a listener on the bus both, trying first the answer the sink expects.
enum class FrameRoles : std::uint8_t { Requests, Answers, Either };

// Splits the bytes a line hears into frames and noise for an IFrameSink.
class ISplitter {
public:
    virtual ~ISplitter() = default;

    virtual void Feed(const std::uint8_t* data, std::size_t count, SteadyTime arrived) = 0;
    virtual void Tick(SteadyTime now) = 0;
    virtual void Finish(SteadyTime now) = 0;
    virtual std::optional<SteadyTime> Deadline() const = 0;
    // When the oldest byte still undecided came in; none when nothing is held.
    virtual std::optional<SteadyTime> OldestHeld() const = 0;
};

}  // namespace protocol
