// The fuzz targets' clock: sleeping moves it on instead of waiting, and every look at it costs
// a millisecond, so a time-out loop ends after a bounded number of turns and an input that
// runs into a time-out costs microseconds, not milliseconds.
#include "platform/Clock.h"

namespace {

std::uint32_t g_nowMs = 0;

}  // namespace

std::uint32_t TimeGetTime() {
    return ++g_nowMs;
}

void SleepMs(std::uint32_t ms) {
    g_nowMs += ms;
}
