#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/SerialPort.h"

using Bytes = std::vector<std::uint8_t>;

// An in-memory port: plays back what the slave "sends" and records every call the master makes.
// Each scripted chunk is what has arrived by one Read; a Read takes as much of the front chunk
// as it asks for and leaves the rest for the next Read. With no chunk left a Read times out.
class CScriptedPort : public CSerialPort {
public:
    struct Chunk {
        Bytes bytes;
        bool fails = false;
    };

    // Script.
    bool openOk = true;
    int openErrno = 0;
    bool queueSizesOk = true;
    bool lineOk = true;
    bool timeoutsOk = true;
    bool closeOk = true;
    bool writeOk = true;
    std::deque<Chunk> reads;
    std::deque<std::uint32_t> outQueue;  // cbOutQue per status read
    std::uint32_t outQueueAfter = 0;     // cbOutQue once outQueue is used up

    void Answer(const Bytes& bytes) { reads.push_back({bytes, false}); }
    void Answer(const std::string& text) { Answer(Bytes(text.begin(), text.end())); }
    void FailRead() { reads.push_back({{}, true}); }

    // Record.
    std::vector<std::string> opened;
    int closes = 0;
    std::optional<std::pair<std::uint32_t, std::uint32_t>> queueSizes;
    std::optional<SerialDcb> dcb;
    std::optional<SerialTimeouts> timeouts;
    std::vector<std::uint32_t> purges;
    std::vector<Bytes> writes;
    std::vector<std::uint32_t> readSizes;
    int errorClears = 0;

    bool Open(const std::string& device) override;
    bool Close() override;
    bool IsOpen() const override { return m_bOpen; }
    bool SetQueueSizes(std::uint32_t receive, std::uint32_t transmit) override;
    bool SetLine(const SerialDcb& line) override;
    bool SetTimeouts(const SerialTimeouts& value) override;
    bool Purge(std::uint32_t flags) override;
    bool Write(const std::uint8_t* data, std::uint32_t count, std::uint32_t* written) override;
    bool Read(std::uint8_t* data, std::uint32_t count, std::uint32_t* received) override;
    bool ClearError(std::uint32_t* errors, SerialStatus* status) override;
    void Abort() override { m_bAborted = true; }
    int LastError() const override { return m_nLastError; }
    std::string Device() const override { return m_strDevice; }

private:
    bool Fail(int error);

    bool m_bOpen = false;
    bool m_bAborted = false;
    int m_nLastError = 0;
    std::string m_strDevice;
};
