#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace poll {

// SIGINT and SIGTERM, taken by a thread of its own with sigwait, so that what they set off
// may lock and wake other threads, which a signal handler may not.
class CStopSignals {
public:
    // Blocks the two signals in the calling thread; threads started later inherit the mask.
    // Call it first thing in main, so that no thread can take a signal in the default way.
    static void Block();

    // onStop gets the signal's number.
    explicit CStopSignals(std::function<void(int)> onStop);
    ~CStopSignals();
    CStopSignals(const CStopSignals&) = delete;
    CStopSignals& operator=(const CStopSignals&) = delete;

private:
    void Watch();

    std::function<void(int)> m_onStop;
    std::atomic<bool> m_bClosing{false};
    std::thread m_thread;
};

}  // namespace poll
