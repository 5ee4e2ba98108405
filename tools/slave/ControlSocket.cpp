#include "tools/slave/ControlSocket.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "tools/slave/PollUntil.h"

namespace slave {

namespace {

// Only the owner may read and write the socket, which is all connecting needs.
constexpr mode_t kSocketMode = S_IRUSR | S_IWUSR;
constexpr mode_t kPermissionBits = S_IRWXU | S_IRWXG | S_IRWXO;
// Out of descriptors, accept() fails at once for as long as it lasts: try again after this.
constexpr std::chrono::milliseconds kAcceptPause{100};
constexpr char kTooManyClients[] = "error: too many control clients\n";
constexpr char kLineTooLong[] = "error: line too long\n";

enum class Probe { Nobody, Stale, InUse, Failed };

// Who accepts on the socket at the path: a refused connection means the run that made it is
// gone; a full backlog still means someone listens.
Probe ProbeSocket(const sockaddr_un& address) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return Probe::Failed;
    }
    const int rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    const int reason = errno;
    ::close(fd);
    errno = reason;
    if (rc == 0 || reason == EAGAIN) {
        return Probe::InUse;
    }
    if (reason == ECONNREFUSED) {
        return Probe::Stale;
    }
    return reason == ENOENT ? Probe::Nobody : Probe::Failed;
}

std::string ModeText(mode_t mode) {
    char text[8];
    std::snprintf(text, sizeof text, "0%03o", static_cast<unsigned>(mode & kPermissionBits));
    return text;
}

}  // namespace

CControlSocket::~CControlSocket() {
    Close();
}

bool CControlSocket::Open(const std::string& path, std::string& error) {
    Close();
    sockaddr_un address{};
    if (path.empty() || path.find('\0') != std::string::npos) {
        error = "the control socket needs a path without NUL bytes";
        return false;
    }
    if (path.size() >= sizeof address.sun_path) {
        error = "the control socket path is " + std::to_string(path.size()) +
                " bytes long; at most " + std::to_string(sizeof address.sun_path - 1) + " fit";
        return false;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.data(), path.size());
    const std::string where = "cannot open control socket " + path + ": ";

    struct stat found {};
    if (::lstat(path.c_str(), &found) == 0) {
        if (!S_ISSOCK(found.st_mode)) {
            error = where + "it exists and is not a socket";
            return false;
        }
        switch (ProbeSocket(address)) {
            case Probe::InUse:
                error = where + "in use by another running process";
                return false;
            case Probe::Stale:
                if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
                    error = where + "cannot remove the stale socket: " + std::strerror(errno);
                    return false;
                }
                break;
            case Probe::Failed:
                error = where + std::strerror(errno);
                return false;
            case Probe::Nobody:
                break;
        }
    } else if (errno != ENOENT) {
        error = where + std::strerror(errno);
        return false;
    }

    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = where + "socket: " + std::strerror(errno);
        return false;
    }
    // The umask holds for the whole process, so it is set for the bind alone; the mode is
    // checked after it all the same, since the bind may have raced a change from elsewhere.
    const mode_t previous = ::umask(kPermissionBits & ~kSocketMode);
    const int bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    const int bindError = errno;
    ::umask(previous);
    if (bound != 0) {
        error = where + "bind: " + std::strerror(bindError);
        ::close(fd);
        return false;
    }
    auto failed = [&](const std::string& reason) {
        error = where + reason;
        ::unlink(path.c_str());
        ::close(fd);
        return false;
    };
    struct stat made {};
    if (::lstat(path.c_str(), &made) != 0) {
        return failed(std::string("stat: ") + std::strerror(errno));
    }
    if (!S_ISSOCK(made.st_mode) || (made.st_mode & kPermissionBits) != kSocketMode) {
        return failed("made with mode " + ModeText(made.st_mode) + ", not " +
                      ModeText(kSocketMode));
    }
    if (::listen(fd, static_cast<int>(kMaxClients)) != 0) {
        return failed(std::string("listen: ") + std::strerror(errno));
    }
    m_fd = fd;
    m_strPath = path;
    m_device = made.st_dev;
    m_inode = made.st_ino;
    return true;
}

void CControlSocket::Close() {
    CloseClients();
    if (m_fd < 0) {
        return;
    }
    // Another run may have replaced the socket since: its path is not ours to remove.
    struct stat found {};
    if (::lstat(m_strPath.c_str(), &found) == 0 && S_ISSOCK(found.st_mode) &&
        found.st_dev == m_device && found.st_ino == m_inode) {
        ::unlink(m_strPath.c_str());
    }
    ::close(m_fd);
    m_fd = -1;
    m_strPath.clear();
}

void CControlSocket::Run(int stopFd, const std::function<std::string(std::string_view)>& handler) {
    if (m_fd < 0) {
        return;
    }
    std::vector<pollfd> fds;
    for (;;) {
        auto now = Clock::now();
        std::optional<Clock::time_point> next;
        for (std::size_t i = m_clients.size(); i-- > 0;) {
            const Clock::time_point deadline = Deadline(m_clients[i]);
            if (deadline <= now) {
                ::close(m_clients[i].fd);
                m_clients.erase(m_clients.begin() + static_cast<std::ptrdiff_t>(i));
            } else {
                next = next ? std::min(*next, deadline) : deadline;
            }
        }
        const bool accepting = now >= m_acceptPausedUntil;
        if (!accepting) {
            next = next ? std::min(*next, m_acceptPausedUntil) : m_acceptPausedUntil;
        }

        fds.clear();
        fds.push_back({stopFd, POLLIN, 0});
        fds.push_back({m_fd, static_cast<short>(accepting ? POLLIN : 0), 0});
        for (const Client& client : m_clients) {
            const short events = static_cast<short>((client.closing ? 0 : POLLIN) |
                                                    (client.unsent.empty() ? 0 : POLLOUT));
            fds.push_back({client.fd, events, 0});
        }
        if (PollUntil(fds.data(), static_cast<nfds_t>(fds.size()), next) < 0) {
            break;
        }
        if (fds[0].revents != 0) {
            break;
        }
        now = Clock::now();
        // From the back, so that closing a client keeps the indices of those before it.
        for (std::size_t i = m_clients.size(); i-- > 0;) {
            const short revents = fds[2 + i].revents;
            if (revents == 0) {
                continue;
            }
            Client& client = m_clients[i];
            bool keep = (revents & POLLNVAL) == 0;
            if (keep && (revents & POLLOUT) != 0) {
                keep = Flush(client, now);
            }
            if (keep && (revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
                // A client being closed that hangs up can no longer take its answers.
                keep = !client.closing && ReadClient(client, handler, now);
            }
            if (!keep || (client.closing && client.unsent.empty())) {
                ::close(client.fd);
                m_clients.erase(m_clients.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
        if ((fds[1].revents & POLLIN) != 0) {
            Accept(now);
        }
    }
    CloseClients();
}

void CControlSocket::Accept(Clock::time_point now) {
    // One connection a wake: the hang-ups, read first, free their places before another
    // connection is refused for want of one.
    int fd = -1;
    do {
        fd = ::accept4(m_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    } while (fd < 0 && (errno == EINTR || errno == ECONNABORTED));
    if (fd < 0) {
        if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
            m_acceptPausedUntil = now + kAcceptPause;
        }
        return;
    }
    if (m_clients.size() >= kMaxClients) {
        // The socket is new and empty, so the line fits; if not, the close says enough.
        ::send(fd, kTooManyClients, sizeof kTooManyClients - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
        ::close(fd);
        return;
    }
    Client client;
    client.fd = fd;
    client.lastActive = now;
    m_clients.push_back(std::move(client));
}

bool CControlSocket::ReadClient(Client& client,
                                const std::function<std::string(std::string_view)>& handler,
                                Clock::time_point now) {
    // One line's worth a wake, so that a client that floods waits its turn behind the others.
    char buffer[kMaxLine];
    ssize_t n = 0;
    do {
        n = ::recv(client.fd, buffer, sizeof buffer, 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        return errno == EAGAIN || errno == EWOULDBLOCK;
    }
    if (n == 0) {
        // Done sending (a script's shutdown, say): its answers still go out, a line it did
        // not end gets none.
        client.received.clear();
        StartClosing(client, now);
        return true;
    }
    client.lastActive = now;
    client.received.append(buffer, static_cast<std::size_t>(n));
    return AnswerLines(client, handler, now);
}

bool CControlSocket::AnswerLines(Client& client,
                                 const std::function<std::string(std::string_view)>& handler,
                                 Clock::time_point now) {
    auto tooLong = [&] {
        client.received.clear();
        client.unsent += kLineTooLong;
        StartClosing(client, now);
        return Flush(client, now);
    };
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = client.received.find('\n', start);
        if (end == std::string::npos) {
            break;
        }
        std::string_view line(client.received.data() + start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        start = end + 1;
        if (line.size() > kMaxLine) {
            return tooLong();
        }
        std::string answer = handler(line);
        // One command, one line back, whatever the handler said.
        std::replace(answer.begin(), answer.end(), '\n', ' ');
        std::replace(answer.begin(), answer.end(), '\r', ' ');
        client.unsent += answer;
        client.unsent += '\n';
        if (client.unsent.size() > kMaxUnsent &&
            (!Flush(client, now) || client.unsent.size() > kMaxUnsent)) {
            return false;
        }
    }
    client.received.erase(0, start);
    const std::size_t waiting = client.received.size();
    const bool mayStillEnd =
        waiting <= kMaxLine || (waiting == kMaxLine + 1 && client.received.back() == '\r');
    if (!mayStillEnd) {
        return tooLong();
    }
    return Flush(client, now);
}

bool CControlSocket::Flush(Client& client, Clock::time_point now) {
    while (!client.unsent.empty()) {
        const ssize_t n = ::send(client.fd, client.unsent.data(), client.unsent.size(),
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno == EAGAIN || errno == EWOULDBLOCK;
        }
        client.unsent.erase(0, static_cast<std::size_t>(n));
        client.lastActive = now;
    }
    return true;
}

void CControlSocket::StartClosing(Client& client, Clock::time_point now) {
    client.closing = true;
    client.closeBy = now + kLinger;
}

CControlSocket::Clock::time_point CControlSocket::Deadline(const Client& client) const {
    return client.closing ? client.closeBy : client.lastActive + kIdleLimit;
}

void CControlSocket::CloseClients() {
    for (const Client& client : m_clients) {
        ::close(client.fd);
    }
    m_clients.clear();
}

}  // namespace slave
