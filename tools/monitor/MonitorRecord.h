#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "protocol/FunctionTable.h"

namespace monitor {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

enum class RecordKind { Request, Answer, Exception, Noise };

// How the monitor splits the line: by RTU's CRC-checked binary frames, by ASCII's ':' lines,
// or deciding from the first good frames.
enum class MonitorMode { Rtu, Ascii, Auto };

// One frame heard on the line, or a run of bytes that made none.
struct MonitorRecord {
    RecordKind kind = RecordKind::Noise;
    // When the frame's last byte came in: the line's own pace where it delivers in time, the
    // adapter's or network's delivery otherwise.
    Clock::time_point time{};
    std::optional<std::uint8_t> slave;     // none for noise
    std::optional<std::uint8_t> function;  // without the exception bit
    // An answer carries those of its request, and its own where the request says none; a
    // request, its own.
    std::optional<std::uint16_t> address;
    std::optional<std::uint16_t> count;
    // Registers read or written; bits read or forced as 0 / 1, as many as the count asks.
    std::vector<std::uint16_t> values;
    bool bitValues = false;  // values are coils or inputs, not registers
    // What else the frame says, as the protocol names it: {"and", "0x00F2"}.
    std::vector<protocol::Field> fields;
    std::optional<std::uint8_t> exception;
    // Noise: what failed, e.g. "bad CRC" for a frame-shaped run whose check is wrong, empty
    // for bytes that fit no frame at all. A frame: "malformed: REASON" when its check is good
    // but it breaks its function's rules.
    std::string error;
    std::optional<double> answerMs;  // answers and exceptions paired with a request
    // The frame as it crossed the line: RTU with its CRC; ASCII its characters between ':'
    // and CR LF, as text bytes.
    Bytes bytes;
};

}  // namespace monitor
