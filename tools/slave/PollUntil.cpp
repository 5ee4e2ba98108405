#include "tools/slave/PollUntil.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace slave {

int PollUntil(pollfd* fds, nfds_t count,
              std::optional<std::chrono::steady_clock::time_point> next) {
    int timeoutMs = -1;
    if (next) {
        const auto now = std::chrono::steady_clock::now();
        const auto micros =
            *next <= now
                ? 0
                : std::chrono::duration_cast<std::chrono::microseconds>(*next - now).count();
        // Round up, so that the loop never wakes before the moment it waits for.
        timeoutMs = static_cast<int>((micros + 999) / 1000);
    }
    const int ready = ::poll(fds, count, timeoutMs);
    if (ready >= 0) {
        return ready;
    }
    if (errno == EINTR) {
        return 0;
    }
    std::fprintf(stderr, "vornak-slave: poll: %s\n", std::strerror(errno));
    return -1;
}

}  // namespace slave
