#include "tools/common/StopRequest.h"

namespace poll {

void CStopRequest::Request(int signal) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_bRequested) {
            m_nSignal = signal;
        }
        m_bRequested = true;
    }
    m_changed.notify_all();
}

bool CStopRequest::WaitUntil(std::chrono::steady_clock::time_point until) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_until(lock, until, [this] { return m_bRequested.load(); });
}

}  // namespace poll
