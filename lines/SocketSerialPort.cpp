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

bool CSocketSerialPort::Fail(int error, const std::string& text) {
    m_nLastError = error;
    if (!text.empty()) {
        m_strErrorText = text;
    }
    return false;
}

bool CSocketSerialPort::Open(const std::string& device) {
    m_strDevice = device;
    if (m_conn.IsOpen()) {
        return Fail(EBUSY);
    }
    m_strErrorText.clear();
    m_conn.ResetAbort();
    m_received.clear();
    m_nReceivedPos = 0;
    m_nDropped = 0;
    m_nDroppedNoted = 0;
    m_dwErrors = 0;
    m_nLostError = 0;
    std::string reason;
    if (!CTcpConnection::SplitEndpoint(device, m_strHost, m_strPort, reason)) {
        return Fail(EINVAL, reason);
    }
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kOpenBoundMs);
    const int error = m_conn.Connect(m_strHost, m_strPort, deadline, reason);
    if (error != 0) {
        return Fail(error, reason);
    }
    if (!Handshake(deadline)) {
        m_conn.Close();
        return false;
    }
    m_nLastError = 0;
    return true;
}

bool CSocketSerialPort::Close() {
    m_conn.Close();
    m_received.clear();
    m_nReceivedPos = 0;
    return true;
}

bool CSocketSerialPort::IsOpen() const {
    return m_conn.IsOpen();
}

bool CSocketSerialPort::SetQueueSizes(std::uint32_t /*receive*/, std::uint32_t /*transmit*/) {
    // The kernel sizes a connection's buffers itself.
    return IsOpen() || Fail(EBADF);
}

bool CSocketSerialPort::SetTimeouts(const SerialTimeouts& timeouts) {
    if (!IsOpen()) {
        return Fail(EBADF);
    }
    m_timeouts = timeouts;
    return true;
}

bool CSocketSerialPort::ConnectionLost(int error) {
    m_nLostError = error == 0 ? ECONNRESET : error;
    m_dwErrors |= kCommErrorDevice;
    return Fail(m_nLostError);
}

void CSocketSerialPort::AppendReceived(const std::uint8_t* data, std::size_t count) {
    m_received.erase(m_received.begin(),
                     m_received.begin() + static_cast<std::ptrdiff_t>(m_nReceivedPos));
    m_nReceivedPos = 0;
    const std::size_t kept = std::min(count, kKeptBytes - std::min(kKeptBytes, m_received.size()));
    m_received.insert(m_received.end(), data, data + kept);
    m_nDropped += count - kept;
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
        const long n = m_conn.Receive(chunk, std::min(most, sizeof chunk));
        if (n > 0) {
            raw = static_cast<std::size_t>(n);
            Decode(chunk, raw);
            return Pull::Got;
        }
        if (n == 0) {
            // The server closed the connection: the line is gone.
            ConnectionLost(ECONNRESET);
            return Pull::Failed;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return Pull::Empty;
        }
        ConnectionLost(errno);
        return Pull::Failed;
    }
}

bool CSocketSerialPort::ReceiveUntil(const std::function<bool()>& done,
                                     Clock::time_point deadline) {
    // A server that never stops sending keeps the socket readable: the deadline and the abort
    // are looked at after every receive, not only when it falls silent.
    while (!done()) {
        if (m_conn.Aborted()) {
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
        int error = 0;
        switch (m_conn.WaitFor(POLLIN, ms, error)) {
            case CTcpConnection::Wait::Ready:
            case CTcpConnection::Wait::TimedOut:
                break;
            case CTcpConnection::Wait::Aborted:
                return Fail(ECANCELED);
            case CTcpConnection::Wait::Failed:
                return ConnectionLost(error);
        }
    }
    return true;
}

bool CSocketSerialPort::Purge(std::uint32_t flags) {
    if (!IsOpen()) {
        return Fail(EBADF);
    }
    if (m_nLostError != 0) {
        return Fail(m_nLostError);
    }
    OnPurge(flags);
    if ((flags & (kPurgeRxAbort | kPurgeRxClear)) == 0) {
        return m_nLostError == 0 || Fail(m_nLostError);
    }
    // What has arrived so far belongs to no exchange that is still waiting for it; what the
    // server sends meanwhile is left to the read, which takes no more than it asks for.
    std::uint32_t waiting = 0;
    std::uint32_t unsent = 0;
    std::size_t left =
        m_conn.Queues(waiting, unsent) ? std::min<std::size_t>(waiting, kPurgeBytes) : kPurgeBytes;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kPurgeBoundMs);
    Pull pulled = Pull::Got;
    m_received.clear();
    m_nReceivedPos = 0;
    while (left > 0 && pulled == Pull::Got && Clock::now() < deadline && !m_conn.Aborted()) {
        std::size_t raw = 0;
        pulled = PullOnce(std::min(left, kKeptBytes), raw);
        left -= raw;
        m_received.clear();
    }
    return pulled != Pull::Failed;
}

bool CSocketSerialPort::StartTransfer(const void* data, std::uint32_t count, std::uint32_t* done) {
    if (done != nullptr) {
        *done = 0;
    }
    if (!IsOpen()) {
        return Fail(EBADF);
    }
    if (m_conn.Aborted()) {
        return Fail(ECANCELED);
    }
    if (m_nLostError != 0) {
        return Fail(m_nLostError);
    }
    if (data == nullptr && count != 0) {
        return Fail(EINVAL);
    }
    return true;
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
        const long n = m_conn.Send(wire.data() + done, wire.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            return result(ConnectionLost(errno));
        }
        const int pollMs = bounded ? PollMsUntil(deadline) : -1;
        if (pollMs == 0) {
            return result(Fail(ETIMEDOUT));
        }
        int error = 0;
        switch (m_conn.WaitFor(POLLOUT, pollMs, error)) {
            case CTcpConnection::Wait::Ready:
                break;
            case CTcpConnection::Wait::TimedOut:
                return result(Fail(ETIMEDOUT));
            case CTcpConnection::Wait::Aborted:
                return result(Fail(ECANCELED));
            case CTcpConnection::Wait::Failed:
                return result(ConnectionLost(error));
        }
    }
    return result(true);
}

bool CSocketSerialPort::Write(const std::uint8_t* data, std::uint32_t count,
                              std::uint32_t* written) {
    if (!StartTransfer(data, count, written)) {
        return false;
    }
    const std::chrono::milliseconds total = TotalBound(m_timeouts.WriteTotalTimeoutMultiplier,
                                                       count, m_timeouts.WriteTotalTimeoutConstant);
    Encode(data, count, m_wire);
    std::size_t sent = 0;
    const bool ok = SendAll(m_wire, total.count() != 0, Clock::now() + total, &sent);
    if (written != nullptr) {
        *written = ok ? count : DataBytesSent(data, count, sent);
    }
    return ok;
}

bool CSocketSerialPort::Read(std::uint8_t* data, std::uint32_t count, std::uint32_t* received) {
    if (!StartTransfer(data, count, received)) {
        return false;
    }
    const auto fill = [this](std::uint8_t* into, std::uint32_t room) -> long {
        for (int pulls = 0;; ++pulls) {
            const std::uint32_t n = TakeReceived(into, room);
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
    };
    const auto wait = [this](int ms) {
        int error = 0;
        const CTcpConnection::Wait result = m_conn.WaitFor(POLLIN, ms, error);
        if (result == CTcpConnection::Wait::Aborted) {
            Fail(ECANCELED);
        } else if (result == CTcpConnection::Wait::Failed) {
            ConnectionLost(error);
        }
        return result;
    };
    return CReadTimeouts(m_timeouts).Read(data, count, received, fill, wait);
}

bool CSocketSerialPort::ClearError(std::uint32_t* errors, SerialStatus* status) {
    if (errors != nullptr) {
        *errors = 0;
    }
    if (status != nullptr) {
        *status = SerialStatus{};
    }
    if (!IsOpen()) {
        return Fail(EBADF);
    }
    bool ok = true;
    if (status != nullptr && m_nLostError != 0) {
        ok = Fail(m_nLostError);
    } else if (status != nullptr) {
        std::uint32_t inQueue = 0;
        std::uint32_t unsent = 0;
        if (!m_conn.Queues(inQueue, unsent)) {
            ok = ConnectionLost(errno);
        } else {
            // Telnet commands waiting in the socket count here too; the read that follows
            // takes them away.
            status->cbInQue = inQueue + Buffered();
            status->cbOutQue = unsent;
        }
    }
    if (errors != nullptr) {
        *errors = m_dwErrors;
    }
    m_dwErrors = 0;
    return ok;
}

void CSocketSerialPort::Abort() {
    m_conn.Abort();
}

int CSocketSerialPort::LastError() const {
    return m_nLastError;
}

std::string CSocketSerialPort::Device() const {
    return m_strDevice;
}

std::string CSocketSerialPort::LastErrorText() const {
    return m_strErrorText;
}

std::vector<std::string> CSocketSerialPort::TakeNotes() {
    const std::uint64_t dropped = m_nDropped;
    if (dropped == m_nDroppedNoted) {
        return {};
    }
    const std::uint64_t since = dropped - m_nDroppedNoted;
    m_nDroppedNoted = dropped;
    return {std::to_string(since) + " bytes from " + m_strHost + " port " + m_strPort +
            " came where no read could take them; dropped"};
}
