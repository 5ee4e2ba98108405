#pragma once

#include <cstdint>
#include <mutex>

// The line lock. Taking it waits until it is free, whatever time-out is handed over, as a
// Win32 critical section does; the time-out is kept for the callers that pass one.
class CCriticalSection {
public:
    bool Lock(std::uint32_t timeoutMs = 0xFFFFFFFF);
    void Unlock();

private:
    std::recursive_mutex m_mutex;
};
