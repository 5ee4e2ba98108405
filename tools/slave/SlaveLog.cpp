#include "tools/slave/SlaveLog.h"

#include <ctime>

namespace slave {

std::string HexSpaced(const Bytes& data) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(data.size() * 3);
    for (const std::uint8_t b : data) {
        if (!text.empty()) {
            text += ' ';
        }
        text += kDigits[b >> 4];
        text += kDigits[b & 0x0F];
    }
    return text;
}

std::string FormatLogLine(std::chrono::system_clock::time_point when, std::string_view direction,
                          const Bytes& bytes, std::string_view note,
                          std::optional<std::string_view> asciiText) {
    using namespace std::chrono;
    const std::time_t seconds = system_clock::to_time_t(when);
    const auto millis = duration_cast<milliseconds>(when.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min,
                  local.tm_sec, static_cast<int>(millis < 0 ? millis + 1000 : millis));

    std::string line = stamp;
    line += ' ';
    line += direction;
    if (!bytes.empty()) {
        line += ' ';
        line += HexSpaced(bytes);
    }
    if (!note.empty()) {
        line += " (";
        line += note;
        line += ')';
    }
    if (asciiText) {
        line += " \"";
        for (char c : *asciiText) {
            const auto u = static_cast<unsigned char>(c);
            if (u < 0x20 || u >= 0x7F || c == '"' || c == '\\') {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\x%02X", u);
                line += escaped;
            } else {
                line += c;
            }
        }
        line += '"';
    }
    return line;
}

void CSlaveLog::Frame(std::string_view direction, const Bytes& bytes, std::string_view note,
                      std::optional<std::string_view> asciiText) {
    if (!m_bEnabled) {
        return;
    }
    const std::string line =
        FormatLogLine(std::chrono::system_clock::now(), direction, bytes, note, asciiText);
    std::fprintf(m_out, "%s\n", line.c_str());
    std::fflush(m_out);
}

}  // namespace slave
