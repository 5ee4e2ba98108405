#pragma once

#include <cstdint>
#include <string>

#include "PortLayer.h"

// A line that hands back what the master sends (a 2-wire bus whose adapter hears itself):
// after each write the same bytes are read back and dropped, so the answer is what follows.
// A missing or different echo fails the write.
class CEchoPort : public CPortLayer {
public:
    using CPortLayer::CPortLayer;

    bool Open(const std::string& device) override;
    bool SetTimeouts(const SerialTimeouts& timeouts) override;
    bool Write(const std::uint8_t* data, std::uint32_t count, std::uint32_t* written) override;
    void BeginExchange(std::uint32_t responseTimeoutMs) override;
    int LastError() const override;
    std::string LastErrorText() const override;

private:
    bool EchoFails(const std::string& why);

    SerialTimeouts m_timeouts;
    std::uint32_t m_dwEchoBoundMs = 1000;
    std::string m_strError;
};
