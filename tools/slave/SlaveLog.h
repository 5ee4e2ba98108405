#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <mutex>
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

// Writes log lines to a stream, each flushed at once so a reader sees it as it happens, from
// any of the simulator's threads. A line that cannot be written (a full disk, /dev/full) is
// kept as the first error and reported through onFailure, so the simulator stops instead of
// serving on with its log lost.
class CSlaveLog {
public:
    CSlaveLog(std::FILE* out, bool enabled, std::function<void()> onFailure = {})
        : m_out(out), m_bEnabled(enabled), m_onFailure(std::move(onFailure)) {}

    void Frame(std::string_view direction, const Bytes& bytes, std::string_view note = {},
               std::optional<std::string_view> asciiText = std::nullopt);
    // "HH:MM:SS.mmm control TEXT": what the control socket was told and answered.
    void Control(std::string_view text);
    // A line written whether or not the log is on (the banner); false when it failed.
    bool Print(std::string_view line);

    // The first write error, empty while every line went out.
    std::string Error() const;

private:
    bool WriteLine(const std::string& line);

    std::FILE* m_out;
    bool m_bEnabled;
    std::function<void()> m_onFailure;
    mutable std::mutex m_mutex;
    std::string m_strError;
};

}  // namespace slave
