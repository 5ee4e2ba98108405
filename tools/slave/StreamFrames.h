#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "protocol/FrameSink.h"
#include "protocol/RtuSplitter.h"
#include "tools/slave/AsciiFramer.h"
#include "tools/slave/FrameCheck.h"
#include "tools/slave/SlaveOptions.h"

namespace slave {

// A frame heard in a stream, as the framing cut and checked it.
struct HeardFrame {
    DecodedFrame frame;
    std::optional<std::string> asciiText;  // ASCII: the text between ':' and CR LF
};

// Finds a line's requests in a TCP stream, where nothing keeps the silences that end RTU
// frames: RTU frames end at the length their function gives and count when their CRC is good,
// ASCII frames at CR LF. Bytes where no frame starts are dropped as noise.
class CStreamFrames : private protocol::IFrameSink {
public:
    explicit CStreamFrames(Framing mode);
    CStreamFrames(const CStreamFrames&) = delete;
    CStreamFrames& operator=(const CStreamFrames&) = delete;

    void Feed(const std::uint8_t* data, std::size_t count, protocol::SteadyTime now);
    // Lets a frame whose length the first bytes do not give end at a pause.
    void Tick(protocol::SteadyTime now);
    std::optional<protocol::SteadyTime> Deadline() const;
    // The frames found since the last call, in stream order.
    std::vector<HeardFrame> Take();

private:
    std::optional<protocol::Expectation> Expected() const override { return std::nullopt; }
    void Frame(const Bytes& message, Bytes shown, protocol::SteadyTime time) override;
    void Noise(const std::uint8_t*, std::size_t, protocol::SteadyTime) override {}
    void BadCheck(Bytes shown, protocol::SteadyTime time, std::string error, std::uint8_t unit,
                  bool answersPending) override;
    void Quiet() override {}

    Framing m_mode;
    protocol::CRtuSplitter m_rtu;
    CAsciiFramer m_ascii;
    std::vector<HeardFrame> m_heard;
};

}  // namespace slave
