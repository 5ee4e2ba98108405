#include "lines/AbortableWait.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>

// poll() takes whole milliseconds; rounding up keeps a wait from ending just short of a
// deadline and turning into a burst of zero-length polls.
int PollMsUntil(CAbortableWait::Clock::time_point deadline) {
    const auto left = deadline - CAbortableWait::Clock::now();
    if (left <= CAbortableWait::Clock::duration::zero()) {
        return 0;
    }
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return static_cast<int>(std::min<long long>(ms, INT_MAX));
}

CAbortableWait::CAbortableWait() {
    m_wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

CAbortableWait::~CAbortableWait() {
    if (m_wakeFd >= 0) {
        ::close(m_wakeFd);
    }
}

void CAbortableWait::Reset() {
    m_bAborted = false;
    if (m_wakeFd >= 0) {
        std::uint64_t drained = 0;
        while (::read(m_wakeFd, &drained, sizeof drained) > 0) {
        }
    }
}

void CAbortableWait::Abort() {
    m_bAborted = true;
    if (m_wakeFd >= 0) {
        const std::uint64_t one = 1;
        // Only fails when the counter is already signalled, which is just as good.
        if (::write(m_wakeFd, &one, sizeof one) < 0) {
        }
    }
}

CAbortableWait::Wait CAbortableWait::WaitFor(int fd, short events, int timeoutMs,
                                             int& error) const {
    // Without the eventfd an abort can only be seen between short slices.
    constexpr int kSliceMs = 50;
    const bool wakeable = m_wakeFd >= 0;
    const bool bounded = timeoutMs >= 0;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    pollfd fds[2] = {{fd, events, 0}, {m_wakeFd, POLLIN, 0}};
    for (;;) {
        if (m_bAborted) {
            return Wait::Aborted;
        }
        int waitMs = bounded ? PollMsUntil(deadline) : -1;
        if (!wakeable) {
            waitMs = waitMs < 0 ? kSliceMs : std::min(waitMs, kSliceMs);
        }
        fds[0].revents = 0;
        fds[1].revents = 0;
        const int n = ::poll(fds, wakeable ? 2 : 1, waitMs);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = errno;
            return Wait::Failed;
        }
        if (m_bAborted || (fds[1].revents & POLLIN) != 0) {
            return Wait::Aborted;
        }
        // A hung-up tty reports readable as well; the read that follows sees the hang-up.
        if ((fds[0].revents & events) != 0) {
            return Wait::Ready;
        }
        if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            error = (fds[0].revents & POLLNVAL) != 0 ? EBADF : EIO;
            return Wait::Failed;
        }
        if (bounded && Clock::now() >= deadline) {
            return Wait::TimedOut;
        }
    }
}
