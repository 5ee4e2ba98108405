#include "lines/EchoPort.h"

#include <cerrno>
#include <vector>

bool CEchoPort::Open(const std::string& device) {
    m_strError.clear();
    return CPortLayer::Open(device);
}

bool CEchoPort::SetTimeouts(const SerialTimeouts& timeouts) {
    m_timeouts = timeouts;
    return CPortLayer::SetTimeouts(timeouts);
}

void CEchoPort::BeginExchange(std::uint32_t responseTimeoutMs) {
    m_dwEchoBoundMs = responseTimeoutMs;
    m_strError.clear();
    CPortLayer::BeginExchange(responseTimeoutMs);
}

bool CEchoPort::EchoFails(const std::string& why) {
    m_strError = why;
    return false;
}

bool CEchoPort::Write(const std::uint8_t* data, std::uint32_t count, std::uint32_t* written) {
    if (!CPortLayer::Write(data, count, written)) {
        return false;
    }
    // The echo comes back as the bytes go out, so the response time-out bounds it amply.
    SerialTimeouts wait{};
    wait.ReadTotalTimeoutConstant = m_dwEchoBoundMs;
    std::vector<std::uint8_t> echo(count);
    std::uint32_t received = 0;
    const bool read =
        CPortLayer::SetTimeouts(wait) && CPortLayer::Read(echo.data(), count, &received);
    CPortLayer::SetTimeouts(m_timeouts);
    if (!read) {
        return false;
    }
    if (received < count) {
        return EchoFails("the line echoed " + std::to_string(received) + " of " +
                         std::to_string(count) + " bytes sent");
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        if (echo[i] != data[i]) {
            return EchoFails("the echo differs from the bytes sent at byte " + std::to_string(i));
        }
    }
    return true;
}

int CEchoPort::LastError() const {
    return m_strError.empty() ? CPortLayer::LastError() : EIO;
}

std::string CEchoPort::LastErrorText() const {
    return m_strError.empty() ? CPortLayer::LastErrorText() : m_strError;
}
