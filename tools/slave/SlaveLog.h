#pragma once

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/Pdu.h"

namespace slave {

using protocol::Bytes;

// "01 03 00 00", upper-case hex digit pairs, for the log.
std::string HexSpaced(const Bytes& data);

// One log line: "HH:MM:SS.mmm rx|tx <hex bytes>[ (note)][ "<ascii text>"]", local time. The
// text is quoted with non-printing characters, quotes and backslashes written as \xNN, so a
// line never breaks.
std::string FormatLogLine(std::chrono::system_clock::time_point when, std::string_view direction,
                          const Bytes& bytes, std::string_view note,
                          std::optional<std::string_view> asciiText);

// Writes log lines to a stream, each flushed at once so a reader sees it as it happens.
class CSlaveLog {
public:
    CSlaveLog(std::FILE* out, bool enabled) : m_out(out), m_bEnabled(enabled) {}

    void Frame(std::string_view direction, const Bytes& bytes, std::string_view note = {},
               std::optional<std::string_view> asciiText = std::nullopt);

private:
    std::FILE* m_out;
    bool m_bEnabled;
};

}  // namespace slave
