#include "tools/slave/ControlClient.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace slave {

namespace {

using Clock = std::chrono::steady_clock;

// While the server's backlog is full connect() fails at once; it is tried again this often.
constexpr std::chrono::milliseconds kConnectRetry{10};

class CFd {
public:
    explicit CFd(int fd) : m_fd(fd) {}
    ~CFd() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    CFd(const CFd&) = delete;
    CFd& operator=(const CFd&) = delete;
    int Get() const { return m_fd; }

private:
    int m_fd;
};

std::string DurationText(std::chrono::milliseconds timeout) {
    const auto ms = timeout.count();
    return ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
}

// Waits for events on fd until deadline; false when it came first.
bool WaitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        const auto now = Clock::now();
        if (now >= deadline) {
            return false;
        }
        const auto micros =
            std::chrono::duration_cast<std::chrono::microseconds>(deadline - now).count();
        pollfd one{fd, events, 0};
        const int ready = ::poll(&one, 1, static_cast<int>((micros + 999) / 1000));
        if (ready > 0) {
            return true;
        }
        if (ready < 0 && errno != EINTR) {
            // Reading or writing says what went wrong.
            return true;
        }
    }
}

}  // namespace

bool SendControlCommand(const std::string& path, std::string_view command, std::string& answer,
                        std::string& error, std::chrono::milliseconds timeout) {
    answer.clear();
    if (command.find_first_of("\r\n") != std::string_view::npos) {
        error = "a control command is one line";
        return false;
    }
    const std::string connectFailed = "cannot connect to " + path + ": ";
    sockaddr_un address{};
    if (path.empty() || path.find('\0') != std::string::npos ||
        path.size() >= sizeof address.sun_path) {
        error = connectFailed + "not a path a socket can have";
        return false;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.data(), path.size());
    const CFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (fd.Get() < 0) {
        error = connectFailed + std::strerror(errno);
        return false;
    }

    const auto connectBy = Clock::now() + timeout;
    while (::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (errno == EAGAIN && Clock::now() < connectBy) {
            ::poll(nullptr, 0, static_cast<int>(kConnectRetry.count()));
            continue;
        }
        if (errno != EINTR) {
            error = connectFailed + (errno == EAGAIN ? "no room within " + DurationText(timeout)
                                                     : std::string(std::strerror(errno)));
            return false;
        }
    }

    // A server that refuses the connection says why in a line and closes at once, maybe before
    // the command is out: a failed send still looks for that line.
    std::string sendError;
    const std::string message = std::string(command) + '\n';
    std::size_t sent = 0;
    const auto sendBy = Clock::now() + timeout;
    while (sent < message.size()) {
        const ssize_t n =
            ::send(fd.Get(), message.data() + sent, message.size() - sent, MSG_NOSIGNAL);
        if (n >= 0) {
            sent += static_cast<std::size_t>(n);
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (!WaitFor(fd.Get(), POLLOUT, sendBy)) {
                error = "cannot send to " + path + " within " + DurationText(timeout);
                return false;
            }
        } else if (errno != EINTR) {
            sendError = "cannot send to " + path + ": " + std::strerror(errno);
            break;
        }
    }

    const auto readBy = Clock::now() + timeout;
    std::string received;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::recv(fd.Get(), buffer, sizeof buffer, 0);
        if (n > 0) {
            received.append(buffer, static_cast<std::size_t>(n));
            if (const auto end = received.find('\n'); end != std::string::npos) {
                answer = received.substr(0, end);
                if (!answer.empty() && answer.back() == '\r') {
                    answer.pop_back();
                }
                return true;
            }
            if (received.size() > kMaxControlAnswer) {
                error = "the answer from " + path + " is longer than " +
                        std::to_string(kMaxControlAnswer) + " bytes";
                return false;
            }
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!WaitFor(fd.Get(), POLLIN, readBy)) {
                error = sendError.empty()
                            ? "no answer from " + path + " within " + DurationText(timeout)
                            : sendError;
                return false;
            }
            continue;
        }
        if (!sendError.empty()) {
            error = sendError;
        } else if (n < 0) {
            error = "cannot read from " + path + ": " + std::strerror(errno);
        } else {
            error = path + " closed the connection without an answer";
        }
        return false;
    }
}

}  // namespace slave
