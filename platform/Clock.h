#pragma once

#include <cstdint>

// Milliseconds on a monotonic clock; wraps like a 32-bit tick count, so compare by difference.
std::uint32_t TimeGetTime();
void SleepMs(std::uint32_t ms);
