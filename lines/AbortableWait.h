#pragma once

#include <atomic>
#include <chrono>

// A wait on a descriptor that Abort() cuts short from any thread: poll() on the descriptor and
// on an eventfd that Abort() signals. The abort stands until Reset(), so a wait that starts
// after it ends at once.
class CAbortableWait {
public:
    using Clock = std::chrono::steady_clock;
    enum class Wait { Ready, TimedOut, Aborted, Failed };

    CAbortableWait();
    ~CAbortableWait();
    CAbortableWait(const CAbortableWait&) = delete;
    CAbortableWait& operator=(const CAbortableWait&) = delete;

    // A new session forgets the abort of the previous one.
    void Reset();
    void Abort();
    bool Aborted() const { return m_bAborted; }

    // Waits for the events on fd or for Abort(); timeoutMs < 0 waits without bound. A hang-up or
    // error that comes without one of the events is Failed, with the errno in error; a caller
    // that leaves the reason to the transfer that follows asks for POLLERR and POLLHUP too.
    Wait WaitFor(int fd, short events, int timeoutMs, int& error) const;

private:
    int m_wakeFd = -1;  // eventfd that Abort() signals
    std::atomic<bool> m_bAborted{false};
};

// Milliseconds left until the deadline for poll(), rounded up; 0 when it has passed.
int PollMsUntil(CAbortableWait::Clock::time_point deadline);
