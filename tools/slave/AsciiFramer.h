#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

#include "protocol/Limits.h"
#include "tools/slave/FrameCheck.h"

namespace slave {

struct AsciiFrame {
    std::string text;  // between ":" and CR LF, both left out
    bool overrun = false;
};

// Cuts the ASCII character stream into frames: ":" starts one (dropping any unfinished
// frame), CR LF ends it; characters outside a frame are noise and are skipped.
class CAsciiFramer {
public:
    static constexpr std::size_t kMaxText = protocol::kMaxAsciiText;

    void Feed(const std::uint8_t* data, std::size_t count);
    std::optional<AsciiFrame> Next();

private:
    enum class State { Idle, InFrame };
    State m_state = State::Idle;
    std::string m_text;
    std::deque<AsciiFrame> m_ready;
};

// Decodes the hex pairs (upper or lower case) and tests the LRC, the frame's last byte.
DecodedFrame AsciiDecode(const std::string& text);
// ":" + upper-case hex of the message and its LRC + CR LF; corrupt sends the LRC plus one, for
// --corrupt.
std::string AsciiEncode(const Bytes& message, bool corrupt);

}  // namespace slave
