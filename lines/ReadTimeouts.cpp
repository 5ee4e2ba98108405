#include "lines/ReadTimeouts.h"

#include <algorithm>

std::chrono::milliseconds TotalBound(std::uint64_t multiplier, std::uint32_t count,
                                     std::uint32_t constant) {
    const std::uint64_t ms = multiplier * count + constant;
    return std::chrono::milliseconds(std::min<std::uint64_t>(ms, 0xFFFFFFFF));
}

bool CReadTimeouts::Read(std::uint8_t* data, std::uint32_t count, std::uint32_t* received,
                         const Fill& fill, const Wait& wait) const {
    using Clock = CAbortableWait::Clock;
    const SerialTimeouts& t = m_timeouts;
    // Win32 reads a multiplier of 0xFFFFFFFF together with an interval of 0xFFFFFFFF as "the
    // constant alone"; otherwise the total bound scales with the bytes asked.
    const std::uint64_t multiplier =
        t.ReadIntervalTimeout == kReadAtOnce && t.ReadTotalTimeoutMultiplier == 0xFFFFFFFF
            ? 0
            : t.ReadTotalTimeoutMultiplier;
    const std::chrono::milliseconds total =
        TotalBound(multiplier, count, t.ReadTotalTimeoutConstant);
    const bool totalBound = t.ReadTotalTimeoutMultiplier != 0 || t.ReadTotalTimeoutConstant != 0;
    // Interval 0xFFFFFFFF: with no total bound the read takes what has arrived and returns;
    // with a total bound it returns as soon as anything is there, waiting up to the total for
    // the first byte.
    const bool atOnce = t.ReadIntervalTimeout == kReadAtOnce;
    const bool intervalBound = !atOnce && t.ReadIntervalTimeout != 0;
    const Clock::time_point start = Clock::now();
    const Clock::time_point totalDeadline = start + total;
    Clock::time_point lastByte = start;

    std::uint32_t got = 0;
    while (got < count) {
        const long n = fill(data + got, count - got);
        if (n < 0) {
            return false;
        }
        if (n > 0) {
            got += static_cast<std::uint32_t>(n);
            if (received != nullptr) {
                *received = got;
            }
            lastByte = Clock::now();
            if (atOnce) {
                break;
            }
            continue;
        }
        if (atOnce && !totalBound) {
            break;
        }
        int pollMs = -1;
        if (totalBound) {
            pollMs = PollMsUntil(totalDeadline);
        }
        if (intervalBound && got > 0) {
            const int gapMs =
                PollMsUntil(lastByte + std::chrono::milliseconds(t.ReadIntervalTimeout));
            pollMs = pollMs < 0 ? gapMs : std::min(pollMs, gapMs);
        }
        if (pollMs == 0) {
            break;
        }
        switch (wait(pollMs)) {
            case CAbortableWait::Wait::Ready:
                break;
            case CAbortableWait::Wait::TimedOut:
                return true;
            case CAbortableWait::Wait::Aborted:
            case CAbortableWait::Wait::Failed:
                return false;
        }
    }
    return true;
}
