#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "PortLayer.h"

// RS-485 direction control. The driver's own RS-485 mode where it has one; where it refuses
// (most USB adapters switch direction in hardware), the program drives RTS around each frame:
// sending level, write, wait until the last byte has left, the delay after, idle level.
class CRs485Port : public CPortLayer {
public:
    enum class Mode { None, Kernel, Rts };

    CRs485Port(std::unique_ptr<CSerialPort> inner, const Rs485Settings& settings);

    bool Open(const std::string& device) override;
    bool SetLine(const SerialDcb& dcb) override;
    bool Write(const std::uint8_t* data, std::uint32_t count, std::uint32_t* written) override;
    void BeginExchange(std::uint32_t responseTimeoutMs) override;
    int LastError() const override;
    std::string LastErrorText() const override;

    Mode InForce() const { return m_mode; }
    // Tests watch the pauses in order with the port's calls.
    std::function<void(std::uint32_t ms)> sleep;

private:
    bool Refuse(int error, const std::string& why);
    int Drive(bool sending);

    Rs485Settings m_settings;
    Mode m_mode = Mode::None;
    std::uint32_t m_dwSentBoundMs = 1000;
    int m_nError = 0;
    std::string m_strError;
};
