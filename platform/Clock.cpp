#include "platform/Clock.h"

#include <chrono>
#include <thread>

std::uint32_t TimeGetTime() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
    // Truncation is the point: callers compare tick counts by unsigned difference.
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ms));
}

void SleepMs(std::uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
