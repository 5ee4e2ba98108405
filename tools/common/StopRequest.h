#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace poll {

// The run's end asked for from another thread; a wait between polls ends with it.
class CStopRequest {
public:
    // signal: the one that asked, kept from the first request; 0 for none.
    void Request(int signal = 0);
    bool IsRequested() const { return m_bRequested.load(); }
    int Signal() const { return m_nSignal.load(); }
    // Sleeps until the time point; true when the stop came first (or had come).
    bool WaitUntil(std::chrono::steady_clock::time_point until);

private:
    std::atomic<bool> m_bRequested{false};
    std::atomic<int> m_nSignal{0};
    std::mutex m_mutex;
    std::condition_variable m_changed;
};

}  // namespace poll
