#pragma once

#include <poll.h>

#include <chrono>
#include <optional>

namespace slave {

// Waits on the descriptors until one is ready or `next` comes (for ever without one). A signal
// counts as nothing ready, so that the caller's loop comes round and works out its time anew;
// -1, said on standard error, when poll itself fails.
int PollUntil(pollfd* fds, nfds_t count, std::optional<std::chrono::steady_clock::time_point> next);

}  // namespace slave
