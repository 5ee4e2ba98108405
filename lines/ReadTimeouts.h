#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

#include "AbortableWait.h"
#include "SerialPort.h"

// Time-outs are 32-bit milliseconds; a product of two of them is capped to the largest single
// one (49 days) so that the deadline arithmetic on the clock cannot overflow.
std::chrono::milliseconds TotalBound(std::uint64_t multiplier, std::uint32_t count,
                                     std::uint32_t constant);

// One read under the Win32 read time-outs, whatever carries the line: up to the total bound
// for the first byte, then up to the interval after each byte for the next, never beyond the
// total. The port supplies how to take bytes from its line and how to wait for more.
class CReadTimeouts {
public:
    // Takes what the line holds into data, at most room bytes: the count, 0 when nothing is
    // there yet, -1 when the line failed (the port has recorded why).
    using Fill = std::function<long(std::uint8_t* data, std::uint32_t room)>;
    // Waits up to ms (-1: without bound) for the line; on Aborted or Failed the port has
    // recorded why.
    using Wait = std::function<CAbortableWait::Wait(int ms)>;

    explicit CReadTimeouts(const SerialTimeouts& timeouts) : m_timeouts(timeouts) {}

    // Reads up to count bytes, keeping *received (if given) up to date; false when the line
    // failed or a wait did.
    bool Read(std::uint8_t* data, std::uint32_t count, std::uint32_t* received, const Fill& fill,
              const Wait& wait) const;

private:
    SerialTimeouts m_timeouts;
};
