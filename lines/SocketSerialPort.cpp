#include "lines/SocketSerialPort.h"

#include <poll.h>

#include <cerrno>
#include <cstring>

#include "lines/ReadTimeouts.h"

namespace {

constexpr std::size_t kReceiveChunk = 4096;
// Receives of Telnet commands alone that one fill of a read makes before it waits like for
// silence: a server that sends nothing else cannot hold the read past its time-outs.
constexpr int kCommandOnlyPulls = 8;

}  // namespace

void CSocketSerialPort::AppendReceived(const std::uint8_t* data, std::size_t count) {
    m_received.erase(m_received.begin(),
                     m_received.begin() + static_cast<std::ptrdiff_t>(m_nReceivedPos));
    m_nReceivedPos = 0;
    const std::size_t kept = std::min(count, kKeptBytes - std::min(kKeptBytes, m_received.size()));
    m_received.insert(m_received.end(), data, data + kept);
    CountDropped(count - kept);
}

std::uint32_t CSocketSerialPort::TakeReceived(std::uint8_t* data, std::uint32_t count) {
    const std::uint32_t n = std::min(count, Buffered());
    if (n > 0) {
        std::memcpy(data, m_received.data() + m_nReceivedPos, n);
        m_nReceivedPos += n;
    }
    return n;
}

CSocketSerialPort::Pull CSocketSerialPort::PullOnce(std::size_t most, std::size_t& raw) {
    std::uint8_t chunk[kReceiveChunk];
    raw = 0;
    for (;;) {
        const long n = Connection().Receive(chunk, std::min(most, sizeof chunk));
        if (n > 0) {
            raw = static_cast<std::size_t>(n);
            Decode(chunk, raw);
            // A kind whose decoding finds the connection broken (a TLS alert) loses the line.
            return LostError() == 0 ? Pull::Got : Pull::Failed;
        }
        if (n == 0) {
            // The server closed the connection: the line is gone.
            LineLost(ECONNRESET);
            return Pull::Failed;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return Pull::Empty;
        }
        LineLost(errno);
        return Pull::Failed;
    }
}

bool CSocketSerialPort::ReceiveUntil(const std::function<bool()>& done,
                                     Clock::time_point deadline) {
    // A server that never stops sending keeps the socket readable: the deadline and the abort
    // are looked at after every receive, not only when it falls silent.
    while (!done()) {
        if (Connection().Aborted()) {
            return Fail(ECANCELED);
        }
        std::size_t raw = 0;
        const Pull pulled = PullOnce(kReceiveChunk, raw);
        if (pulled == Pull::Failed) {
            return false;
        }
        const int ms = PollMsUntil(deadline);
        if (ms == 0) {
            return true;
        }
        if (pulled == Pull::Got) {
            continue;
        }
        switch (WaitFor(POLLIN, ms)) {
            case CTcpConnection::Wait::Ready:
            case CTcpConnection::Wait::TimedOut:
                break;
            case CTcpConnection::Wait::Aborted:
            case CTcpConnection::Wait::Failed:
                return false;
        }
    }
    return true;
}

bool CSocketSerialPort::Purge(std::uint32_t flags) {
    if (!IsOpen()) {
        return Fail(EBADF);
    }
    if (LostError() != 0) {
        return Fail(LostError());
    }
    OnPurge(flags);
    if ((flags & (kPurgeRxAbort | kPurgeRxClear)) == 0) {
        return LostError() == 0 || Fail(LostError());
    }
    // What has arrived so far belongs to no exchange that is still waiting for it; what the
    // server sends meanwhile is left to the read, which takes no more than it asks for.
    std::uint32_t waiting = 0;
    std::uint32_t unsent = 0;
    std::size_t left = Connection().Queues(waiting, unsent)
                           ? std::min<std::size_t>(waiting, kPurgeBytes)
                           : kPurgeBytes;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kPurgeBoundMs);
    Pull pulled = Pull::Got;
    ForgetReceived();
    while (left > 0 && pulled == Pull::Got && Clock::now() < deadline && !Connection().Aborted()) {
        std::size_t raw = 0;
        pulled = PullOnce(std::min(left, kKeptBytes), raw);
        left -= raw;
        m_received.clear();
    }
    return pulled != Pull::Failed;
}

bool CSocketSerialPort::SendAll(const std::vector<std::uint8_t>& wire, bool bounded,
                                Clock::time_point deadline, std::size_t* sent) {
    std::size_t done = 0;
    const auto result = [&](bool ok) {
        if (sent != nullptr) {
            *sent = done;
        }
        return ok;
    };
    while (done < wire.size()) {
        const long n = Connection().Send(wire.data() + done, wire.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            return result(LineLost(errno));
        }
        const int pollMs = bounded ? PollMsUntil(deadline) : -1;
        if (pollMs == 0) {
            return result(Fail(ETIMEDOUT));
        }
        switch (WaitFor(POLLOUT, pollMs)) {
            case CTcpConnection::Wait::Ready:
                break;
            case CTcpConnection::Wait::TimedOut:
                return result(Fail(ETIMEDOUT));
            case CTcpConnection::Wait::Aborted:
            case CTcpConnection::Wait::Failed:
                return result(false);
        }
    }
    return result(true);
}

bool CSocketSerialPort::Write(const std::uint8_t* data, std::uint32_t count,
                              std::uint32_t* written) {
    if (!StartTransfer(data, count, written)) {
        return false;
    }
    const std::chrono::milliseconds total = TotalBound(Timeouts().WriteTotalTimeoutMultiplier,
                                                       count, Timeouts().WriteTotalTimeoutConstant);
    Encode(data, count, m_wire);
    if (LostError() != 0) {
        return Fail(LostError());
    }
    std::size_t sent = 0;
    const bool ok = SendAll(m_wire, total.count() != 0, Clock::now() + total, &sent);
    if (written != nullptr) {
        *written = ok ? count : DataBytesSent(data, count, sent);
    }
    return ok;
}

long CSocketSerialPort::Fill(std::uint8_t* data, std::uint32_t room) {
    for (int pulls = 0;; ++pulls) {
        const std::uint32_t n = TakeReceived(data, room);
        if (n > 0) {
            return n;
        }
        // Telnet commands alone bring no line byte, so they do not restart the interval.
        if (pulls == kCommandOnlyPulls) {
            return 0;
        }
        std::size_t raw = 0;
        switch (PullOnce(kKeptBytes, raw)) {
            case Pull::Got:
                break;
            case Pull::Empty:
                return 0;
            case Pull::Failed:
                return -1;
        }
    }
}

std::vector<std::string> CSocketSerialPort::TakeNotes() {
    const std::uint64_t since = TakeDropped();
    if (since == 0) {
        return {};
    }
    return {std::to_string(since) + " bytes from " + Host() + " port " + PortText() +
            " came where no read could take them; dropped"};
}
