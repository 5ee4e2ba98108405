#include "lines/TcpConnection.h"

#include <linux/sockios.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

namespace {

// A dead server is noticed within about 25 s of silence, and unacknowledged data gives up
// after 15 s, instead of the kernel's two hours and quarter of an hour.
constexpr int kKeepIdleS = 10;
constexpr int kKeepIntervalS = 5;
constexpr int kKeepCount = 3;
constexpr unsigned int kUserTimeoutMs = 15000;

std::mutex g_claimsMutex;
std::set<std::string> g_claims;

bool Claim(const std::string& key) {
    const std::lock_guard<std::mutex> lock(g_claimsMutex);
    return g_claims.insert(key).second;
}

void Release(const std::string& key) {
    const std::lock_guard<std::mutex> lock(g_claimsMutex);
    g_claims.erase(key);
}

struct Lookup {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    int rc = 0;
    int error = 0;
    addrinfo* result = nullptr;
    ~Lookup() {
        if (result != nullptr) {
            ::freeaddrinfo(result);
        }
    }
};

// getaddrinfo has no time-out of its own, and a name server that does not answer holds it for
// many seconds. It runs on a thread of its own; an answer that comes after the deadline is
// dropped with the lookup by whichever side lets go of it last.
// Null when the deadline or the abort came first; a finished lookup is no longer written to.
std::shared_ptr<Lookup> Resolve(const std::string& host, const std::string& port, int socketType,
                                CTcpConnection::Clock::time_point deadline,
                                const CAbortableWait& wait) {
    auto lookup = std::make_shared<Lookup>();
    std::thread([lookup, host, port, socketType] {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = socketType;
        hints.ai_flags = AI_NUMERICSERV;
        addrinfo* found = nullptr;
        const int rc = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &found);
        const int error = errno;
        const std::lock_guard<std::mutex> lock(lookup->mutex);
        lookup->rc = rc;
        lookup->error = error;
        lookup->result = found;
        lookup->finished = true;
        lookup->done.notify_all();
    }).detach();
    // The abort has no way into this wait; it is looked at between short slices.
    constexpr auto kSlice = std::chrono::milliseconds(10);
    std::unique_lock<std::mutex> lock(lookup->mutex);
    while (!lookup->finished) {
        const auto now = CTcpConnection::Clock::now();
        if (now >= deadline || wait.Aborted()) {
            return nullptr;
        }
        lookup->done.wait_until(lock, std::min(deadline, now + kSlice));
    }
    return lookup;
}

void SetOption(int fd, int level, int name, int value) {
    // Each of these only tunes the connection; one the kernel lacks leaves it working.
    (void)::setsockopt(fd, level, name, &value, sizeof value);
}

void TuneSocket(int fd) {
    SetOption(fd, IPPROTO_TCP, TCP_NODELAY, 1);
    SetOption(fd, IPPROTO_TCP, TCP_QUICKACK, 1);
    SetOption(fd, SOL_SOCKET, SO_KEEPALIVE, 1);
    SetOption(fd, IPPROTO_TCP, TCP_KEEPIDLE, kKeepIdleS);
    SetOption(fd, IPPROTO_TCP, TCP_KEEPINTVL, kKeepIntervalS);
    SetOption(fd, IPPROTO_TCP, TCP_KEEPCNT, kKeepCount);
    SetOption(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, static_cast<int>(kUserTimeoutMs));
}

std::string Where(const std::string& host, const std::string& port) {
    return host + " port " + port;
}

}  // namespace

CTcpConnection::~CTcpConnection() {
    Close();
}

bool CTcpConnection::SplitEndpoint(const std::string& endpoint, std::string& host,
                                   std::string& port, std::string& reason) {
    const std::size_t colon = endpoint.rfind(':');
    if (colon == std::string::npos || colon == 0) {
        reason = "\"" + endpoint + "\" is not HOST:PORT";
        return false;
    }
    host = endpoint.substr(0, colon);
    port = endpoint.substr(colon + 1);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    }
    const bool digits =
        !port.empty() && port.size() <= 5 &&
        std::all_of(port.begin(), port.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
    if (!digits || std::stoi(port) < 1 || std::stoi(port) > 65535) {
        reason = "\"" + port + "\" in \"" + endpoint + "\" is not a TCP port (1 to 65535)";
        return false;
    }
    return true;
}

int CTcpConnection::Connect(const std::string& host, const std::string& port,
                            Clock::time_point deadline, std::string& reason) {
    Close();
    const long long boundMs = PollMsUntil(deadline);
    std::string key = host;
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    key += ":" + port;
    const bool stream = m_transport == Transport::Stream;
    if (!stream) {
        key = "udp " + key;  // the same HOST:PORT over TCP is another endpoint
    }
    if (!Claim(key)) {
        reason = Where(host, port) + " is already open in this program";
        return EBUSY;
    }
    const std::shared_ptr<Lookup> lookup =
        Resolve(host, port, stream ? SOCK_STREAM : SOCK_DGRAM, deadline, m_wait);
    if (!lookup || lookup->rc != 0) {
        Release(key);
        if (!lookup && m_wait.Aborted()) {
            reason = "looking up \"" + host + "\" was cut short";
            return ECANCELED;
        }
        if (!lookup) {
            reason = "no answer from the name service for \"" + host + "\" within " +
                     std::to_string(boundMs) + " ms";
            return ETIMEDOUT;
        }
        const bool system = lookup->rc == EAI_SYSTEM;
        reason = "cannot resolve host \"" + host +
                 "\": " + (system ? std::strerror(lookup->error) : ::gai_strerror(lookup->rc));
        return system ? lookup->error : EHOSTUNREACH;
    }
    const addrinfo* found = lookup->result;
    // Every address the name has is tried in turn, as long as the deadline allows.
    int error = ETIMEDOUT;
    for (const addrinfo* ai = found; ai != nullptr && m_fd < 0; ai = ai->ai_next) {
        const int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                                ai->ai_protocol);
        if (fd < 0) {
            error = errno;
            continue;
        }
        if (stream) {
            TuneSocket(fd);
        }
        int soError = 0;
        if (::connect(fd, ai->ai_addr, ai->ai_addrlen) != 0) {
            soError = errno;
        }
        if (soError == EINPROGRESS) {
            m_fd = fd;  // WaitFor polls m_fd
            const Wait w = WaitFor(POLLOUT, PollMsUntil(deadline), soError);
            m_fd = -1;
            if (w == Wait::Ready) {
                socklen_t len = sizeof soError;
                if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &len) != 0) {
                    soError = errno;
                }
            } else if (w != Wait::Failed) {
                soError = w == Wait::Aborted ? ECANCELED : ETIMEDOUT;
            }
        }
        if (soError == 0) {
            m_fd = fd;
        } else {
            ::close(fd);
            error = soError;
            if (error == ECANCELED || error == ETIMEDOUT) {
                break;
            }
        }
    }
    if (m_fd < 0) {
        Release(key);
        reason = error == ETIMEDOUT
                     ? "no answer from " + Where(host, port) + " within " +
                           std::to_string(boundMs) + " ms"
                     : "cannot connect to " + Where(host, port) + ": " + std::strerror(error);
        return error;
    }
    m_strClaim = key;
    return 0;
}

void CTcpConnection::Close() {
    const int fd = m_fd.exchange(-1);
    if (fd >= 0) {
        ::close(fd);
    }
    if (!m_strClaim.empty()) {
        Release(m_strClaim);
        m_strClaim.clear();
    }
}

CTcpConnection::Wait CTcpConnection::WaitFor(short events, int timeoutMs, int& error) {
    // A reset connection reports POLLERR or POLLHUP with the event; the transfer that follows
    // reads the reason, so they count as ready.
    return m_wait.WaitFor(m_fd, static_cast<short>(events | POLLERR | POLLHUP), timeoutMs, error);
}

long CTcpConnection::Send(const std::uint8_t* data, std::size_t count) {
    // MSG_NOSIGNAL: a server that went away is an EPIPE here, never a SIGPIPE for the program.
    return ::send(m_fd, data, count, MSG_NOSIGNAL | MSG_DONTWAIT);
}

long CTcpConnection::Receive(std::uint8_t* data, std::size_t count, int flags) {
    const long n = ::recv(m_fd, data, count, MSG_DONTWAIT | flags);
    if (n > 0 && m_transport == Transport::Stream) {
        // A server with Nagle's algorithm on holds the rest of an answer until its first piece
        // is acknowledged, and a delayed ACK would cut the answer with a 40 ms gap. The kernel
        // leaves quick-ACK mode on its own, so it is asked for again after every receive.
        SetOption(m_fd, IPPROTO_TCP, TCP_QUICKACK, 1);
    }
    return n;
}

bool CTcpConnection::Queues(std::uint32_t& received, std::uint32_t& unsent) const {
    int in = 0;
    int out = 0;
    if (m_transport == Transport::Datagram) {
        if (::ioctl(m_fd, FIONREAD, &in) != 0) {
            return false;
        }
        received = static_cast<std::uint32_t>(std::max(in, 0));
        unsent = 0;
        return true;
    }
    // SIOCOUTQNSD counts what has not left; SIOCOUTQ would also count what the server has
    // not acknowledged yet, which waits on its delayed ACK and is no part of the line.
    if (::ioctl(m_fd, FIONREAD, &in) != 0 || ::ioctl(m_fd, SIOCOUTQNSD, &out) != 0) {
        return false;
    }
    received = static_cast<std::uint32_t>(std::max(in, 0));
    unsent = static_cast<std::uint32_t>(std::max(out, 0));
    return true;
}
