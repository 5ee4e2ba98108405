#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "Framing.h"
#include "Modbus.h"
#include "lines/SerialPort.h"

// The Modbus master on a local line, in RTU, ASCII or Modbus TCP (MBAP) framing.
class CLocalModbus : public CModbus {
public:
    // The master owns its port object for life; without one it makes a line port, which opens
    // whatever kind of line the mapped device names.
    explicit CLocalModbus(std::unique_ptr<CSerialPort> port = nullptr);
    ~CLocalModbus() override;

    const char* GetRuntimeClassName() const override { return "CLocalModbus"; }

    std::uint16_t Transact(ByteArray& request, std::uint16_t requestLength, ByteArray& response,
                           std::uint16_t expectedLength, std::uint16_t* receivedLength) override;
    // Writes the request and returns once it has left the line; nothing is read.
    std::uint16_t Send(ByteArray& request, std::uint16_t requestLength) override;
    std::string GetErrorText(std::uint16_t code) const override;
    bool IsPortOpen() const override;

    void SetPort(std::uint8_t port) { m_nPort = port; }
    void SetBaudRate(std::uint32_t baudRate) { m_dwBaudRate = baudRate; }
    void SetParity(std::uint8_t parity) { m_nParity = parity; }
    void SetDataBits(std::uint16_t dataBits) { m_wDataBits = dataBits; }
    void SetStopBits(std::uint8_t stopBits) { m_nStopBits = stopBits; }
    std::uint8_t GetStopBits() const { return m_nStopBits; }
    void SetFlowControl(std::uint8_t flags) { m_nFlowControl = flags; }
    std::uint8_t GetFlowControl() const { return m_nFlowControl; }
    void SetTimeout(std::uint32_t ms) { m_dwTimeout = ms; }
    void SetCharInterval(std::uint32_t ms);
    std::uint32_t GetCharInterval() const { return m_dwCharInterval; }
    // Mode 1 is ASCII, any other RTU.
    void SetMode(std::uint16_t mode);
    // Picks the framing outright. Like the mode, it takes full effect at the next Open, which
    // sets the port's time-outs for it.
    void SetFraming(FramingKind kind) { m_framing = kind; }
    FramingKind GetFraming() const { return m_framing; }
    // What the exchanges use: MBAP whenever the open line carries it, whatever the mode says.
    FramingKind GetLineFraming() const { return m_lineMbap ? FramingKind::Mbap : m_framing.load(); }

    // port 0 means m_nPort, baudRate 0 means m_dwBaudRate, parity 0xFF means m_nParity.
    bool Open(std::uint8_t port = 0, std::uint32_t baudRate = 0, std::uint8_t parity = 0xFF);
    bool Close();

    // Cuts a waiting exchange short from any thread; every exchange fails at once until the
    // next Open. Used at teardown so that closing never waits out a time-out.
    void AbortExchanges();

    // Why the last Open failed: the errno (0 when the cause was not the OS) and the device.
    int GetLastPortError() const { return m_nLastPortError; }
    std::string GetPortDevice() const { return m_strPortDevice; }
    // The port's own words on that failure where the errno cannot say it; may be empty.
    std::string GetPortErrorText() const { return m_strPortErrorText; }

    // Read-only views for diagnostics and tests.
    std::uint8_t GetPort() const { return m_nPort; }
    std::uint32_t GetBaudRate() const { return m_dwBaudRate; }
    std::uint8_t GetParity() const { return m_nParity; }
    std::uint16_t GetDataBits() const { return m_wDataBits; }
    std::uint32_t GetTimeout() const { return m_dwTimeout; }
    std::uint16_t GetMode() const { return m_wMode; }
    // The port object, for what its kind alone can tell (a TLS line's session).
    const CSerialPort* GetPortObject() const { return m_hPort.get(); }

protected:
    std::uint16_t m_wDataBits;
    std::unique_ptr<CSerialPort> m_hPort;  // the port object; "valid" while it is open
    std::uint32_t m_dwTimeout;
    std::uint32_t m_dwCharInterval;
    std::uint32_t m_dwCharacterTime = 1;  // ms per character at the open line's rate
    std::uint8_t m_nPort;
    std::uint32_t m_dwBaudRate;
    std::uint8_t m_nParity;
    std::uint8_t m_nFlowControl;
    std::uint8_t m_nStopBits;
    std::uint16_t m_wMode;

private:
    bool OpenLocked(std::uint8_t port, std::uint32_t baudRate, std::uint8_t parity);
    bool FailOpen(int error, const std::string& device);
    SerialDcb BuildDcb(std::uint32_t baudRate, std::uint8_t parity) const;
    void RaiseCharInterval(std::uint8_t dataBits, std::uint32_t baudRate);
    static std::uint32_t CharacterTime(std::uint8_t dataBits, std::uint32_t baudRate);
    LineTimes Times() const;
    CFraming& Framing() const { return *m_framings[static_cast<std::size_t>(GetLineFraming())]; }
    std::uint16_t Exchange(CFraming& framing, CExchangeLine& line, ByteArray& request,
                           std::uint16_t requestLength, ByteArray& response,
                           std::uint16_t expectedLength, std::uint16_t* receivedLength,
                           bool expectAnswer);
    // Runs one exchange under the lock with the trace around it; expectAnswer false stops
    // after the write.
    std::uint16_t Run(ByteArray& request, std::uint16_t requestLength, ByteArray& response,
                      std::uint16_t expectedLength, std::uint16_t* receivedLength,
                      bool expectAnswer);

    // One of each, in FramingKind's order, so that a framing switched from another thread is
    // never freed under a running exchange, and each keeps its state (the next transaction
    // id) across switches.
    std::array<std::unique_ptr<CFraming>, 3> m_framings;
    std::atomic<FramingKind> m_framing{FramingKind::Rtu};
    std::atomic<bool> m_lineMbap{false};  // set at each open from the line itself
    int m_nLastPortError = 0;
    std::string m_strPortErrorText;
    std::string m_strPortDevice;
};
