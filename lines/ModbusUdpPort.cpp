#include "lines/ModbusUdpPort.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "lines/ReadTimeouts.h"
#include "lines/SocketSerialPort.h"

bool CModbusUdpPort::Fail(int error, const std::string& text) {
    m_nLastError = error;
    if (!text.empty()) {
        m_strErrorText = text;
    }
    return false;
}

bool CModbusUdpPort::LineLost(int error) {
    m_nLostError = error == 0 ? EIO : error;
    m_dwErrors |= kCommErrorDevice;
    return Fail(m_nLostError);
}

bool CModbusUdpPort::Open(const std::string& device) {
    m_strDevice = device;
    if (m_conn.IsOpen()) {
        return Fail(EBUSY);
    }
    m_strErrorText.clear();
    m_conn.ResetAbort();
    m_nDatagramSize = 0;
    m_nDatagramPos = 0;
    m_nDropped = 0;
    m_nDroppedNoted = 0;
    m_dwErrors = 0;
    m_nLostError = 0;
    std::string reason;
    if (!CTcpConnection::SplitEndpoint(device, m_strHost, m_strPort, reason)) {
        return Fail(EINVAL, reason);
    }
    // Nothing answers a UDP connect; the bound is the name lookup's.
    const auto deadline =
        CTcpConnection::Clock::now() + std::chrono::milliseconds(CSocketSerialPort::kOpenBoundMs);
    if (const int error = m_conn.Connect(m_strHost, m_strPort, deadline, reason); error != 0) {
        return Fail(error, reason);
    }
    m_nLastError = 0;
    return true;
}

bool CModbusUdpPort::Close() {
    m_conn.Close();
    m_nDatagramSize = 0;
    m_nDatagramPos = 0;
    return true;
}

bool CModbusUdpPort::SetQueueSizes(std::uint32_t /*receive*/, std::uint32_t /*transmit*/) {
    return IsOpen() || Fail(EBADF);
}

bool CModbusUdpPort::SetLine(const SerialDcb& /*dcb*/) {
    return IsOpen() || Fail(EBADF);
}

bool CModbusUdpPort::SetTimeouts(const SerialTimeouts& timeouts) {
    if (!IsOpen()) {
        return Fail(EBADF);
    }
    m_timeouts = timeouts;
    return true;
}

bool CModbusUdpPort::StartTransfer(const void* data, std::uint32_t count, std::uint32_t* done) {
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

CAbortableWait::Wait CModbusUdpPort::WaitFor(short events, int ms) {
    int error = 0;
    const CAbortableWait::Wait result = m_conn.WaitFor(events, ms, error);
    if (result == CAbortableWait::Wait::Aborted) {
        Fail(ECANCELED);
    } else if (result == CAbortableWait::Wait::Failed) {
        LineLost(error);
    }
    return result;
}

CModbusUdpPort::Pull CModbusUdpPort::PullDatagram() {
    for (;;) {
        // MSG_TRUNC: the length the datagram had, so that what did not fit is counted.
        const long n = m_conn.Receive(m_datagram, sizeof m_datagram, MSG_TRUNC);
        if (n >= 0) {
            m_nDatagramSize = std::min(static_cast<std::size_t>(n), kMaxFrame);
            m_nDatagramPos = 0;
            m_nDropped += static_cast<std::size_t>(n) - m_nDatagramSize;
            return m_nDatagramSize > 0 ? Pull::Got : Pull::Empty;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return Pull::Empty;
        }
        // ECONNREFUSED: the server's host said no one listens on the port.
        LineLost(errno);
        return Pull::Failed;
    }
}

bool CModbusUdpPort::Purge(std::uint32_t flags) {
    if (!StartTransfer(nullptr, 0, nullptr)) {
        return false;
    }
    if ((flags & (kPurgeRxAbort | kPurgeRxClear)) == 0) {
        return true;
    }
    m_nDatagramSize = 0;
    m_nDatagramPos = 0;
    // A server that never stops sending cannot hold the purge: what comes later is the next
    // read's.
    const auto deadline = CTcpConnection::Clock::now() + std::chrono::milliseconds(kPurgeBoundMs);
    std::size_t dropped = 0;
    while (dropped < kPurgeBytes && CTcpConnection::Clock::now() < deadline) {
        const long n = m_conn.Receive(m_datagram, sizeof m_datagram, MSG_TRUNC);
        if (n >= 0) {
            dropped += static_cast<std::size_t>(std::max(n, 1L));
            continue;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            break;
        }
        return LineLost(errno);
    }
    return true;
}

bool CModbusUdpPort::Write(const std::uint8_t* data, std::uint32_t count, std::uint32_t* written) {
    if (!StartTransfer(data, count, written)) {
        return false;
    }
    // The master hands over a whole frame per Write: it goes as one datagram or not at all.
    if (count > kMaxFrame) {
        return Fail(EMSGSIZE);
    }
    if (count == 0) {
        return true;
    }
    const std::chrono::milliseconds total = TotalBound(m_timeouts.WriteTotalTimeoutMultiplier,
                                                       count, m_timeouts.WriteTotalTimeoutConstant);
    const bool bounded = total.count() != 0;
    const auto deadline = CTcpConnection::Clock::now() + total;
    for (;;) {
        const long n = m_conn.Send(data, count);
        if (n == static_cast<long>(count)) {
            break;
        }
        if (n >= 0) {
            return Fail(EIO);
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            return LineLost(errno);
        }
        const int ms = bounded ? PollMsUntil(deadline) : -1;
        if (ms == 0) {
            return Fail(ETIMEDOUT);
        }
        switch (WaitFor(POLLOUT, ms)) {
            case CAbortableWait::Wait::Ready:
                break;
            case CAbortableWait::Wait::TimedOut:
                return Fail(ETIMEDOUT);
            case CAbortableWait::Wait::Aborted:
            case CAbortableWait::Wait::Failed:
                return false;
        }
    }
    if (written != nullptr) {
        *written = count;
    }
    return true;
}

bool CModbusUdpPort::Read(std::uint8_t* data, std::uint32_t count, std::uint32_t* received) {
    if (!StartTransfer(data, count, received)) {
        return false;
    }
    const auto fill = [this](std::uint8_t* into, std::uint32_t room) -> long {
        if (m_nDatagramPos == m_nDatagramSize) {
            switch (PullDatagram()) {
                case Pull::Got:
                    break;
                case Pull::Empty:
                    return 0;
                case Pull::Failed:
                    return -1;
            }
        }
        const std::size_t n = std::min<std::size_t>(room, m_nDatagramSize - m_nDatagramPos);
        std::memcpy(into, m_datagram + m_nDatagramPos, n);
        m_nDatagramPos += n;
        return static_cast<long>(n);
    };
    // A pending "port unreachable" wakes the wait as an error; the receive that follows reads
    // it.
    const auto wait = [this](int ms) { return WaitFor(POLLIN, ms); };
    return CReadTimeouts(m_timeouts).Read(data, count, received, fill, wait);
}

bool CModbusUdpPort::ClearError(std::uint32_t* errors, SerialStatus* status) {
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
        std::uint32_t next = 0;
        std::uint32_t unsent = 0;
        if (!m_conn.Queues(next, unsent)) {
            ok = LineLost(errno);
        } else {
            status->cbInQue = next + static_cast<std::uint32_t>(m_nDatagramSize - m_nDatagramPos);
            status->cbOutQue = unsent;
        }
    }
    if (errors != nullptr) {
        *errors = m_dwErrors;
    }
    m_dwErrors = 0;
    return ok;
}

std::vector<std::string> CModbusUdpPort::TakeNotes() {
    const std::uint64_t dropped = m_nDropped;
    if (dropped == m_nDroppedNoted) {
        return {};
    }
    const std::uint64_t since = dropped - m_nDroppedNoted;
    m_nDroppedNoted = dropped;
    return {std::to_string(since) + " bytes of datagrams from " + m_strHost + " port " + m_strPort +
            " beyond the longest frame (" + std::to_string(kMaxFrame) + " bytes); dropped"};
}
