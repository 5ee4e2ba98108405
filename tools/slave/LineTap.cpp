#include "tools/slave/LineTap.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace slave {

bool CLineTap::Open(const SlaveOptions& options, std::string& error) {
    SlaveOptions own = options;
    own.device.clear();
    return m_line.Open(own, error);
}

void CLineTap::Hear(const std::uint8_t* data, std::size_t count, Clock::time_point first,
                    Clock::duration spacing) {
    for (std::size_t i = 0; i < count; ++i) {
        if (m_timed.size() + m_out.size() >= kBound) {
            m_dropped += count - i;
            return;
        }
        const Timed timed{first + static_cast<long>(i) * spacing, data[i]};
        // Nearly always the newest; a request heard while an answer is still on the wire is not.
        const auto at = std::upper_bound(
            m_timed.begin(), m_timed.end(), timed.due,
            [](Clock::time_point due, const Timed& other) { return due < other.due; });
        m_timed.insert(at, timed);
    }
}

std::optional<CLineTap::Clock::time_point> CLineTap::NextDue() const {
    if (m_timed.empty()) {
        return std::nullopt;
    }
    return m_timed.front().due;
}

void CLineTap::Flush(Clock::time_point now) {
    while (!m_timed.empty() && m_timed.front().due <= now) {
        m_out.push_back(m_timed.front().byte);
        m_timed.pop_front();
    }
    while (!m_out.empty()) {
        const ssize_t n = ::write(m_line.Fd(), m_out.data(), m_out.size());
        if (n > 0) {
            m_out.erase(m_out.begin(), m_out.begin() + n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            // A full pseudo-terminal has no reader: a monitor keeps far ahead of any bus. Bytes
            // kept for a reader that comes later would reach it as old news, timed as new.
            m_dropped += m_out.size();
            m_out.clear();
            return;
        }
    }
}

}  // namespace slave
