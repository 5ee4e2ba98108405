#include "tools/slave/NetListener.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace slave {

namespace {

constexpr int kBacklog = 16;

bool IsLoopbackAddress(const sockaddr_storage& address) {
    if (address.ss_family == AF_INET) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
        return (ntohl(v4.sin_addr.s_addr) >> 24) == 127;
    }
    if (address.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
        const std::uint8_t* b = v6.sin6_addr.s6_addr;
        if (IN6_IS_ADDR_LOOPBACK(&v6.sin6_addr)) {
            return true;
        }
        return IN6_IS_ADDR_V4MAPPED(&v6.sin6_addr) && b[12] == 127;
    }
    return false;
}

}  // namespace

CNetListener::~CNetListener() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

bool CNetListener::Open(const SlaveOptions& options, const NetPort& netPort, std::string& error) {
    const bool tcp = netPort.transport != Transport::Udp;
    const std::string where = options.bindAddress + " port " + std::to_string(netPort.port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = tcp ? SOCK_STREAM : SOCK_DGRAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(netPort.port);
    if (const int rc = ::getaddrinfo(options.bindAddress.c_str(), port.c_str(), &hints, &found);
        rc != 0) {
        error = "cannot listen on " + where + ": " + ::gai_strerror(rc);
        return false;
    }
    // The first address the name gives: a name for several would need several sockets.
    sockaddr_storage wanted{};
    std::memcpy(&wanted, found->ai_addr, found->ai_addrlen);
    const socklen_t wantedLength = found->ai_addrlen;
    const int family = found->ai_family;
    ::freeaddrinfo(found);

    auto failed = [&](const char* step) {
        error = "cannot listen on " + where + ": " + step + ": " + std::strerror(errno);
        if (m_fd >= 0) {
            ::close(m_fd);
            m_fd = -1;
        }
        return false;
    };
    m_fd = ::socket(family, hints.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0) {
        return failed("socket");
    }
    if (tcp) {
        // A restart takes the port back at once, whatever connections the last run left.
        const int on = 1;
        ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    }
    if (::bind(m_fd, reinterpret_cast<const sockaddr*>(&wanted), wantedLength) != 0) {
        return failed("bind");
    }
    if (tcp && ::listen(m_fd, kBacklog) != 0) {
        return failed("listen");
    }
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    char host[NI_MAXHOST];
    char service[NI_MAXSERV];
    if (::getsockname(m_fd, reinterpret_cast<sockaddr*>(&bound), &length) != 0 ||
        ::getnameinfo(reinterpret_cast<sockaddr*>(&bound), length, host, sizeof host, service,
                      sizeof service, NI_NUMERICHOST | NI_NUMERICSERV) != 0) {
        return failed("getsockname");
    }
    const std::string name(host);
    m_strAddress =
        (bound.ss_family == AF_INET6 ? "[" + name + "]" : name) + ":" + std::string(service);
    m_bLoopback = IsLoopbackAddress(bound);
    return true;
}

}  // namespace slave
