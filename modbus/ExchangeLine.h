#pragma once

#include <algorithm>
#include <cstdint>

#include "lines/SerialPort.h"

// The times an exchange goes by, as the master holds them for the open line.
struct LineTimes {
    std::uint32_t timeoutMs = 0;        // the response time-out
    std::uint32_t charIntervalMs = 0;   // the silence that ends a frame
    std::uint32_t characterTimeMs = 1;  // one character at the line's rate
};

// The master's port as one exchange uses it: transfers that clear the port's errors when they
// fail and note a device that went away, and the times the exchange goes by.
class CExchangeLine {
public:
    CExchangeLine(CSerialPort& port, const LineTimes& times) : m_port(port), m_times(times) {}

    const LineTimes& Times() const { return m_times; }
    bool DeviceGone() const { return m_bDeviceGone; }

    // Writes and waits, up to the response time-out, for the transmit queue to empty.
    bool Write(const std::uint8_t* data, std::uint32_t count);
    // One read under the port's time-outs; received never exceeds wanted. Inline, as ASCII
    // polls it once a character.
    bool Read(std::uint8_t* data, std::uint32_t wanted, std::uint32_t& received) {
        received = 0;
        if (!m_port.Read(data, wanted, &received)) {
            ClearErrors();
            return false;
        }
        received = std::min(received, wanted);  // never trust a count beyond what was asked
        return true;
    }
    // One read that waits up to ms in all for the wanted bytes; ms 0 takes what has arrived.
    bool ReadWithin(std::uint8_t* data, std::uint32_t wanted, std::uint32_t ms,
                    std::uint32_t& received);
    // Gives the port the time-outs its framing reads under, after a ReadWithin.
    bool SetTimeouts(const SerialTimeouts& timeouts) {
        if (!m_port.SetTimeouts(timeouts)) {
            ClearErrors();
            return false;
        }
        return true;
    }
    // The port's queue counts; false when the port cannot tell.
    bool Status(SerialStatus& status) { return ReadErrors(&status); }

private:
    void ClearErrors() { ReadErrors(nullptr); }
    // ClearError that also notes a device that went away.
    bool ReadErrors(SerialStatus* status) {
        std::uint32_t errors = 0;
        const bool known = m_port.ClearError(&errors, status);
        if ((errors & kCommErrorDevice) != 0) {
            m_bDeviceGone = true;
        }
        return known;
    }

    CSerialPort& m_port;
    LineTimes m_times;
    bool m_bDeviceGone = false;
};
