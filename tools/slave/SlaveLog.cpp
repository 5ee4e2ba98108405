#include "tools/slave/SlaveLog.h"

#include <cerrno>
#include <cstring>
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
    if (m_bEnabled) {
        WriteLine(
            FormatLogLine(std::chrono::system_clock::now(), direction, bytes, note, asciiText));
    }
}

void CSlaveLog::Control(std::string_view text) {
    if (m_bEnabled) {
        WriteLine(FormatLogLine(std::chrono::system_clock::now(), "control", {}, {}, std::nullopt) +
                  " " + std::string(text));
    }
}

bool CSlaveLog::Print(std::string_view line) {
    return WriteLine(std::string(line));
}

bool CSlaveLog::WriteLine(const std::string& line) {
    bool failed = false;
    {
        const std::lock_guard lock(m_mutex);
        if (!m_strError.empty()) {
            return false;
        }
        errno = 0;
        if (std::fprintf(m_out, "%s\n", line.c_str()) < 0 || std::fflush(m_out) != 0) {
            m_strError = std::strerror(errno != 0 ? errno : EIO);
            failed = true;
        }
    }
    if (failed && m_onFailure) {
        m_onFailure();
    }
    return !failed;
}

std::string CSlaveLog::Error() const {
    const std::lock_guard lock(m_mutex);
    return m_strError;
}

}  // namespace slave
