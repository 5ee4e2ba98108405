#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "AbortableWait.h"

// The client end of a TCP connection to a serial device server: a connect bounded in time with
// the reason for a failure in words, TCP_NODELAY and keep-alive, waits that Abort() cuts short
// from any thread, and the kernel's queue counts. It only ever connects; nothing listens.
class CTcpConnection {
public:
    using Clock = CAbortableWait::Clock;
    using Wait = CAbortableWait::Wait;

    CTcpConnection() = default;
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
    long Send(const std::uint8_t* data, std::size_t count);
    long Receive(std::uint8_t* data, std::size_t count);

    // Bytes received and not read; bytes not yet sent. False with errno when the kernel
    // cannot say.
    bool Queues(std::uint32_t& received, std::uint32_t& unsent) const;

private:
    std::atomic<int> m_fd{-1};
    CAbortableWait m_wait;
    std::string m_strClaim;  // the endpoint held against a second open
};
