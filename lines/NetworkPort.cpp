#include "lines/NetworkPort.h"

#include <poll.h>

#include <cerrno>
#include <chrono>

#include "lines/ReadTimeouts.h"

bool CNetworkPort::Fail(int error, const std::string& text) {
    m_nLastError = error;
    if (!text.empty()) {
        m_strErrorText = text;
    }
    return false;
}

bool CNetworkPort::LineLost(int error) {
    m_nLostError = error == 0 ? m_nLostDefault : error;
    m_dwErrors |= kCommErrorDevice;
    return Fail(m_nLostError);
}

bool CNetworkPort::Open(const std::string& device) {
    m_strDevice = device;
    if (m_conn.IsOpen()) {
        return Fail(EBUSY);
    }
    m_strErrorText.clear();
    m_conn.ResetAbort();
    ForgetReceived();
    m_nDropped = 0;
    m_nDroppedNoted = 0;
    m_dwErrors = 0;
    m_nLostError = 0;
    std::string reason;
    if (!CTcpConnection::SplitEndpoint(device, m_strHost, m_strPort, reason)) {
        return Fail(EINVAL, reason);
    }
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kOpenBoundMs);
    if (const int error = m_conn.Connect(m_strHost, m_strPort, deadline, reason); error != 0) {
        return Fail(error, reason);
    }
    if (!Handshake(deadline)) {
        m_conn.Close();
        return false;
    }
    m_nLastError = 0;
    return true;
}

bool CNetworkPort::Close() {
    m_conn.Close();
    ForgetReceived();
    return true;
}

bool CNetworkPort::SetQueueSizes(std::uint32_t /*receive*/, std::uint32_t /*transmit*/) {
    // The kernel sizes a connection's buffers itself.
    return IsOpen() || Fail(EBADF);
}

bool CNetworkPort::SetTimeouts(const SerialTimeouts& timeouts) {
    if (!IsOpen()) {
        return Fail(EBADF);
    }
    m_timeouts = timeouts;
    return true;
}

bool CNetworkPort::StartTransfer(const void* data, std::uint32_t count, std::uint32_t* done) {
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

CTcpConnection::Wait CNetworkPort::WaitFor(short events, int ms) {
    int error = 0;
    const CTcpConnection::Wait result = m_conn.WaitFor(events, ms, error);
    if (result == CTcpConnection::Wait::Aborted) {
        Fail(ECANCELED);
    } else if (result == CTcpConnection::Wait::Failed) {
        LineLost(error);
    }
    return result;
}

bool CNetworkPort::Read(std::uint8_t* data, std::uint32_t count, std::uint32_t* received) {
    if (!StartTransfer(data, count, received)) {
        return false;
    }
    const auto fill = [this](std::uint8_t* into, std::uint32_t room) { return Fill(into, room); };
    const auto wait = [this](int ms) { return WaitFor(POLLIN, ms); };
    return CReadTimeouts(m_timeouts).Read(data, count, received, fill, wait);
}

bool CNetworkPort::ClearError(std::uint32_t* errors, SerialStatus* status) {
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
            ok = LineLost(errno);
        } else {
            // What waits in the socket counts as it is, Telnet commands too; the read takes it.
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

std::uint64_t CNetworkPort::TakeDropped() {
    const std::uint64_t dropped = m_nDropped;
    const std::uint64_t since = dropped - m_nDroppedNoted;
    m_nDroppedNoted = dropped;
    return since;
}
