#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

// Auto-reset event: one waiter is released per SetEvent, and the signal resets as it does so.
class CEvent {
public:
    explicit CEvent(bool initiallySignalled = false);

    void SetEvent();
    void ResetEvent();
    // True when signalled within the time-out (ms; 0xFFFFFFFF waits forever), false on time-out.
    bool Wait(std::uint32_t timeoutMs);

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_bSignalled;
};
