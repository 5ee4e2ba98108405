#include "modbus/ExchangeLine.h"

#include "platform/Clock.h"

namespace {
constexpr std::uint32_t kDrainPollSleepMs = 1;
}

bool CExchangeLine::Write(const std::uint8_t* data, std::uint32_t count) {
    std::uint32_t written = 0;
    if (!m_port.Write(data, count, &written)) {
        ClearErrors();
        return false;
    }
    const std::uint32_t start = TimeGetTime();
    SerialStatus status;
    bool known = ReadErrors(&status);
    while (known && status.cbOutQue != 0 && TimeGetTime() - start < m_times.timeoutMs) {
        // The queue empties at the line's pace, or not at all while CTS holds it back.
        SleepMs(kDrainPollSleepMs);
        known = ReadErrors(&status);
    }
    return known && status.cbOutQue == 0;
}

bool CExchangeLine::ReadWithin(std::uint8_t* data, std::uint32_t wanted, std::uint32_t ms,
                               std::uint32_t& received) {
    received = 0;
    SerialTimeouts timeouts{};
    timeouts.ReadIntervalTimeout = ms == 0 ? kReadAtOnce : 0;
    timeouts.ReadTotalTimeoutConstant = ms;
    timeouts.WriteTotalTimeoutConstant = m_times.timeoutMs;
    if (!m_port.SetTimeouts(timeouts)) {
        ClearErrors();
        return false;
    }
    return Read(data, wanted, received);
}
