#include "scan/BackgroundCall.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <chrono>
#include <system_error>
#include <thread>

namespace {

constexpr auto kAbortRepeat = std::chrono::milliseconds(20);

}  // namespace

bool CBackgroundCall::Run(const std::function<bool()>& work) {
    // Without an event loop on this thread there is nothing to keep going meanwhile.
    QAbstractEventDispatcher* const dispatcher = QAbstractEventDispatcher::instance();
    bool inPlace = dispatcher == nullptr;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        inPlace = inPlace || m_bPending;
        if (!inPlace)
            m_bPending = true;
    }
    if (inPlace)
        return work();
    bool result = false;
    std::thread worker;
    try {
        worker = std::thread([&] {
            const bool r = work();
            {
                const std::lock_guard<std::mutex> lock(m_mutex);
                result = r;
                m_bPending = false;
            }
            m_done.notify_all();
            dispatcher->wakeUp();
        });
    } catch (const std::system_error&) {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_bPending = false;
        }
        return work();
    }
    // Not a nested exec(): an application quit that comes meanwhile must not end this wait.
    while (IsPending()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                        QEventLoop::WaitForMoreEvents);
    }
    worker.join();
    return result;
}

bool CBackgroundCall::IsPending() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_bPending;
}

void CBackgroundCall::CutShort(const std::function<void()>& abort) {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (m_bPending) {
        lock.unlock();
        abort();
        lock.lock();
        m_done.wait_for(lock, kAbortRepeat, [this] { return !m_bPending; });
    }
}
