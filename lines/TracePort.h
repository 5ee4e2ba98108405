#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "PortLayer.h"
#include "TraceFile.h"

// The frame trace around any line: one line per frame written and per answer read, and after
// each exchange its result, e.g.
//   2026-12-08 14:50:01.123 /dev/ttyUSB0 tx 01 03 00 00 00 01 84 0A
//   2026-12-08 14:50:01.141 /dev/ttyUSB0 rx 01 03 02 12 34 B5 33
//   2026-12-08 14:50:01.146 /dev/ttyUSB0 result 0 OK (23 ms)
class CTracePort : public CPortLayer {
public:
    CTracePort(std::unique_ptr<CSerialPort> inner, std::shared_ptr<CTraceFile> file,
               std::string label);
    ~CTracePort() override;

    bool Open(const std::string& device) override;
    bool Close() override;
    bool SetLine(const SerialDcb& dcb) override;
    bool Write(const std::uint8_t* data, std::uint32_t count, std::uint32_t* written) override;
    bool Read(std::uint8_t* data, std::uint32_t count, std::uint32_t* received) override;
    void BeginExchange(std::uint32_t responseTimeoutMs) override;
    void EndExchange(std::uint16_t code, const std::string& text) override;

private:
    using WallClock = std::chrono::system_clock;

    void Frame(WallClock::time_point when, const char* direction, const std::uint8_t* data,
               std::size_t count, const std::string& note = {});
    void FlushReceived();
    void Note(const std::string& text);

    std::shared_ptr<CTraceFile> m_pFile;
    std::string m_strLabel;
    std::vector<std::uint8_t> m_received;
    WallClock::time_point m_firstReceived{};
    std::chrono::steady_clock::time_point m_exchangeStart{};
    bool m_bInExchange = false;
};

// "2026-12-08 14:50:01.123" in local time.
std::string TraceTimeStamp(std::chrono::system_clock::time_point when);
// "01 03 0A" and, when every byte is printable or CR/LF, " \":0103...\\r\\n\"".
std::string TraceBytes(const std::uint8_t* data, std::size_t count);
