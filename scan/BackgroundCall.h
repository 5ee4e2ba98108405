#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>

// Runs one blocking call (a port open, which may wait seconds for a network peer) on a thread
// of its own while the user-interface thread that asked for it goes on painting and running
// its timers. User input stays queued until the call has returned, so no second command starts
// meanwhile; the caller gets the result where it asked for it.
class CBackgroundCall {
public:
    CBackgroundCall() = default;
    CBackgroundCall(const CBackgroundCall&) = delete;
    CBackgroundCall& operator=(const CBackgroundCall&) = delete;

    // On the user-interface thread. A call asked for while one is pending runs in place.
    bool Run(const std::function<bool()>& work);
    bool IsPending() const;
    // For a teardown among the events that Run processes: calls `abort` until the pending call
    // has returned. It is repeated because a call may forget an abort that came before it
    // started to wait.
    void CutShort(const std::function<void()>& abort);

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_bPending = false;
};
