#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

class QObject;
class QThread;

// Lets the scan thread run code on the user-interface thread and wait for it, the way a
// synchronous window message would. At teardown the UI thread closes the gate: every waiting
// and every later call returns false at once without running, and a call that was posted but
// has not run yet does nothing when its event is finally delivered. Closing never waits, so
// the UI thread cannot deadlock against a waiting scan thread.
//
// Create, close and destroy the gate on the UI thread; destroy it only after the threads that
// call it are done with it.
class CCallGate {
public:
    CCallGate();
    ~CCallGate();
    CCallGate(const CCallGate&) = delete;
    CCallGate& operator=(const CCallGate&) = delete;

    // Runs `fn` on the UI thread and returns true once it has run; on the UI thread itself it
    // runs directly. False, without running, when the gate is or becomes closed before `fn`
    // starts, or when `fn` is empty. A call whose `fn` has started is always waited for, since
    // `fn` may use the caller's stack.
    bool Call(std::function<void()> fn);

    void Close();
    bool IsClosed() const;
    // Calls from other threads that are waiting for the UI thread.
    int WaitingCalls() const;

private:
    struct Request;
    // The requests travel in this queue, under its mutex, not inside Qt's event: the posted
    // event only says "run the next one", so every hand-over is one our own lock orders.
    struct Core {
        mutable std::mutex mutex;
        std::condition_variable released;
        std::deque<std::shared_ptr<Request>> queue;
        bool bClosed = false;
        int nWaiting = 0;
    };
    friend class CCallGateReceiver;

    static void RunNext(const std::shared_ptr<Core>& core);

    std::shared_ptr<Core> m_core;
    QThread* const m_pUiThread;
    QObject* m_pReceiver;
};
