#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// A master's socket to the simulator: a TCP stream, or a UDP socket that hears only it.
class CNetClient {
public:
    CNetClient(bool tcp, const std::string& address) : m_bTcp(tcp) {
        const auto port =
            static_cast<std::uint16_t>(std::stoi(address.substr(address.rfind(':') + 1)));
        const sockaddr_in to{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
        m_fd = ::socket(AF_INET, (tcp ? SOCK_STREAM : SOCK_DGRAM) | SOCK_CLOEXEC, 0);
        if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~CNetClient() { ::close(m_fd); }

    int Fd() const { return m_fd; }
    void Send(const Bytes& bytes) const { ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
    // Up to n bytes (one datagram, taken whole so that one too long shows) within the time-out.
    Bytes Receive(std::size_t n, std::chrono::milliseconds timeout) const {
        const timeval limit{timeout.count() / 1000, timeout.count() % 1000 * 1000};
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        Bytes bytes(m_bTcp ? n : 300);
        errno = 0;
        const ssize_t got = ::recv(m_fd, bytes.data(), bytes.size(), MSG_WAITALL);
        bytes.resize(static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
        return bytes;
    }
    // The server closed or reset the stream within the time-out.
    bool Closed(std::chrono::milliseconds timeout) const {
        return Receive(1, timeout).empty() && errno != EAGAIN;
    }

private:
    bool m_bTcp;
    int m_fd = -1;
};
