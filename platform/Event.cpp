#include "platform/Event.h"

#include <chrono>

CEvent::CEvent(bool initiallySignalled) : m_bSignalled(initiallySignalled) {}

void CEvent::SetEvent() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bSignalled = true;
    }
    m_cv.notify_one();
}

void CEvent::ResetEvent() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bSignalled = false;
}

bool CEvent::Wait(std::uint32_t timeoutMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    const auto signalled = [this] { return m_bSignalled; };
    if (timeoutMs == 0xFFFFFFFF) {
        m_cv.wait(lock, signalled);
    } else if (!m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), signalled)) {
        return false;
    }
    // Auto-reset: the waiter that takes the signal consumes it.
    m_bSignalled = false;
    return true;
}
