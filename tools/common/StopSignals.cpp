#include "tools/common/StopSignals.h"

#include <pthread.h>

#include <csignal>
#include <utility>

namespace poll {

namespace {

sigset_t StopSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

void CStopSignals::Block() {
    const sigset_t set = StopSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

CStopSignals::CStopSignals(std::function<void(int)> onStop) : m_onStop(std::move(onStop)) {
    Block();
    m_thread = std::thread([this] { Watch(); });
}

CStopSignals::~CStopSignals() {
    m_bClosing = true;
    // Wakes the watcher's sigwait; the signal is blocked everywhere, so nothing else sees it.
    pthread_kill(m_thread.native_handle(), SIGTERM);
    m_thread.join();
}

void CStopSignals::Watch() {
    const sigset_t set = StopSet();
    for (;;) {
        int sig = 0;
        if (sigwait(&set, &sig) != 0 || m_bClosing) {
            return;
        }
        m_onStop(sig);
    }
}

}  // namespace poll
