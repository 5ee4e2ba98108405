#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace poll {

// The run's end asked for from another thread; a wait between polls ends with it.
class CStopRequest {
public:
    void Request();
    bool IsRequested() const { return m_bRequested.load(); }
    // Sleeps until the time point; true when the stop came first (or had come).
    bool WaitUntil(std::chrono::steady_clock::time_point until);

private:
    std::atomic<bool> m_bRequested{false};
    std::mutex m_mutex;
    std::condition_variable m_changed;
};

}  // namespace poll
