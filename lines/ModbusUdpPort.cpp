#include "lines/ModbusUdpPort.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "lines/ReadTimeouts.h"

bool CModbusUdpPort::SetLine(const SerialDcb& /*dcb*/) {
    return IsOpen() || Fail(EBADF);
}

long CModbusUdpPort::Fill(std::uint8_t* data, std::uint32_t room) {
    while (m_nDatagramPos == m_nDatagramSize) {
        // MSG_TRUNC: the length the datagram had, so that what did not fit is counted.
        const long n = Connection().Receive(m_datagram, sizeof m_datagram, MSG_TRUNC);
        if (n >= 0) {
            m_nDatagramSize = std::min(static_cast<std::size_t>(n), kMaxFrame);
            m_nDatagramPos = 0;
            CountDropped(static_cast<std::size_t>(n) - m_nDatagramSize);
            if (m_nDatagramSize == 0) {
                return 0;
            }
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return 0;
        } else if (errno != EINTR) {
            // ECONNREFUSED: the server's host said no one listens on the port.
            LineLost(errno);
            return -1;
        }
    }
    const std::size_t n = std::min<std::size_t>(room, m_nDatagramSize - m_nDatagramPos);
    std::memcpy(data, m_datagram + m_nDatagramPos, n);
    m_nDatagramPos += n;
    return static_cast<long>(n);
}

bool CModbusUdpPort::Purge(std::uint32_t flags) {
    if (!StartTransfer(nullptr, 0, nullptr)) {
        return false;
    }
    if ((flags & (kPurgeRxAbort | kPurgeRxClear)) == 0) {
        return true;
    }
    ForgetReceived();
    const auto deadline = Clock::now() + std::chrono::milliseconds(kPurgeBoundMs);
    std::size_t dropped = 0;
    while (dropped < kPurgeBytes && Clock::now() < deadline) {
        const long n = Connection().Receive(m_datagram, sizeof m_datagram, MSG_TRUNC);
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
    const std::chrono::milliseconds total = TotalBound(Timeouts().WriteTotalTimeoutMultiplier,
                                                       count, Timeouts().WriteTotalTimeoutConstant);
    const bool bounded = total.count() != 0;
    const auto deadline = Clock::now() + total;
    for (;;) {
        const long n = Connection().Send(data, count);
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
            case CTcpConnection::Wait::Ready:
                break;
            case CTcpConnection::Wait::TimedOut:
                return Fail(ETIMEDOUT);
            case CTcpConnection::Wait::Aborted:
            case CTcpConnection::Wait::Failed:
                return false;
        }
    }
    if (written != nullptr) {
        *written = count;
    }
    return true;
}

std::vector<std::string> CModbusUdpPort::TakeNotes() {
    const std::uint64_t since = TakeDropped();
    if (since == 0) {
        return {};
    }
    return {std::to_string(since) + " bytes of datagrams from " + Host() + " port " + PortText() +
            " beyond the longest frame (" + std::to_string(kMaxFrame) + " bytes); dropped"};
}
