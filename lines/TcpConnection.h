#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "AbortableWait.h"

// The client end of a TCP connection to a serial device server: a connect bounded in time with
// the reason for a failure in words, TCP_NODELAY and keep-alive, waits that Abort() cuts short
// from any thread, and the kernel's queue counts. It only ever connects; nothing listens. As a
// connected UDP socket (Datagram) it takes datagrams from the one peer only, the kernel drops
// the rest.
class CTcpConnection {
public:
    using Clock = CAbortableWait::Clock;
    using Wait = CAbortableWait::Wait;

    enum class Transport { Stream, Datagram };

    explicit CTcpConnection(Transport transport = Transport::Stream) : m_transport(transport) {}
    ~CTcpConnection();
    CTcpConnection(const CTcpConnection&) = delete;
    CTcpConnection& operator=(const CTcpConnection&) = delete;

    // "HOST:PORT" or "[IPv6]:PORT" with a port of 1 to 65535; false with a reason otherwise.
    static bool SplitEndpoint(const std::string& endpoint, std::string& host, std::string& port,
                              std::string& reason);

    // Resolves host and connects by the deadline. One endpoint is open once in this program.
    // Returns 0, or the errno with the reason (host, port, the resolver's or the OS's words).
    int Connect(const std::string& host, const std::string& port, Clock::time_point deadline,
                std::string& reason);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }

    // A new session forgets the abort of the previous one.
    void ResetAbort() { m_wait.Reset(); }
    void Abort() { m_wait.Abort(); }
    bool Aborted() const { return m_wait.Aborted(); }

    // Waits for the events or for Abort(); timeoutMs < 0 waits without bound. On Failed the
    // errno is in error.
    Wait WaitFor(short events, int timeoutMs, int& error);

    // Non-blocking transfers: the count, 0 at the end of the stream (Receive), -1 with errno.
    // A datagram goes whole in one Send; Receive takes one, and with MSG_TRUNC in flags tells
    // its full length.
    long Send(const std::uint8_t* data, std::size_t count);
    long Receive(std::uint8_t* data, std::size_t count, int flags = 0);

    // Bytes received and not read (a datagram socket: the next datagram's); bytes not yet sent
    // (always 0 for datagrams, which leave whole at Send). False with errno when the kernel
    // cannot say.
    bool Queues(std::uint32_t& received, std::uint32_t& unsent) const;

private:
    Transport m_transport;
    std::atomic<int> m_fd{-1};
    CAbortableWait m_wait;
    std::string m_strClaim;  // the endpoint held against a second open
};
