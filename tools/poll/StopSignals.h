#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace poll {

// SIGINT and SIGTERM, taken by a thread of its own with sigwait, so that what they set off
// may lock and wake other threads, which a signal handler may not. Create it before any other
// thread: it blocks the two signals in the calling thread, and later threads inherit that.
class CStopSignals {
public:
    explicit CStopSignals(std::function<void()> onStop);
    ~CStopSignals();
    CStopSignals(const CStopSignals&) = delete;
    CStopSignals& operator=(const CStopSignals&) = delete;

private:
    void Watch();

    std::function<void()> m_onStop;
    std::atomic<bool> m_bClosing{false};
    std::thread m_thread;
};

}  // namespace poll
