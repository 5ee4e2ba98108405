#include "tools/slave/LinePacer.h"

#include <algorithm>

namespace slave {

CLinePacer::CLinePacer(Clock::duration characterTime, Clock::duration burst,
                       Clock::time_point origin)
    : m_characterTime(characterTime), m_burst(burst), m_origin(origin), m_lineFree(origin) {}

CLinePacer::Clock::time_point CLinePacer::Queue(const std::uint8_t* data, std::size_t count,
                                                Clock::time_point ready) {
    const Clock::time_point first = std::max(ready, m_lineFree) + m_characterTime;
    for (std::size_t i = 0; i < count; ++i) {
        const Clock::time_point left = std::max(ready, m_lineFree) + m_characterTime;
        m_lineFree = left;
        Clock::time_point due = left;
        if (m_burst > Clock::duration::zero()) {
            // The next tick of the latency timer at or after the byte has left.
            const auto ticks = (left - m_origin + m_burst - Clock::duration(1)) / m_burst;
            due = m_origin + ticks * m_burst;
        }
        m_queue.push_back({due, data[i]});
    }
    return first;
}

std::optional<CLinePacer::Clock::time_point> CLinePacer::NextDue() const {
    if (m_queue.empty()) {
        return std::nullopt;
    }
    return m_queue.front().due;
}

Bytes CLinePacer::TakeDue(Clock::time_point now) {
    Bytes due;
    while (!m_queue.empty() && m_queue.front().due <= now) {
        due.push_back(m_queue.front().byte);
        m_queue.pop_front();
    }
    return due;
}

}  // namespace slave
