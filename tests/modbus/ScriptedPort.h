#pragma once

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "lines/SerialPort.h"

using Bytes = std::vector<std::uint8_t>;

// An in-memory port that records every call and plays back what the slave "sends". Each chunk
// is what has arrived by one Read; a Read takes what it asks for of the front chunk and leaves
// the rest. With no chunk left a Read times out with nothing.
class CScriptedPort : public CSerialPort {
public:
    struct Chunk {
        Bytes bytes;
        bool fails = false;
        std::size_t taken = 0;   // bytes already read; an offset keeps byte-by-byte reads linear
        std::uint32_t atMs = 0;  // timed: when it arrives, counted from the last write
        std::size_t Left() const { return bytes.size() - taken; }
    };

    // Script.
    bool openOk = true, queueSizesOk = true, lineOk = true, timeoutsOk = true;
    bool closeOk = true, writeOk = true;
    int openErrno = 0;
    std::deque<Chunk> reads;
    std::deque<std::uint32_t> outQueue;  // cbOutQue per status read, then outQueueAfter
    std::uint32_t outQueueAfter = 0;
    int rs485Error = ENOTTY;  // what the driver's RS-485 mode answers
    int rtsError = 0;

    void Answer(const Bytes& bytes) { reads.push_back({bytes}); }
    void Answer(const std::string& text) { Answer(Bytes(text.begin(), text.end())); }
    void FailRead() { reads.push_back({{}, true}); }

    // Timed: a virtual clock that only Reads move. A chunk arrives at its atMs after the last
    // write, and a Read keeps the port's time-outs as a driver would: it ends when it has its
    // bytes, when the gap after a byte passes the interval, or at its total time-out.
    bool timed = false;
    std::uint32_t nowMs = 0;
    void AnswerAt(std::uint32_t atMs, const Bytes& bytes) {
        reads.push_back({bytes, false, 0, atMs});
    }

    // Record.
    std::vector<std::string> opened;
    int closes = 0, errorClears = 0;
    std::optional<std::pair<std::uint32_t, std::uint32_t>> queueSizes;
    std::optional<SerialDcb> dcb;
    std::optional<SerialTimeouts> timeouts;
    std::vector<std::uint32_t> purges, readSizes;
    std::vector<Bytes> writes;
    Bytes delivered;      // every byte that a Read handed over, in order
    int failedReads = 0;  // scripted read failures that a Read ran into
    // The line calls in order: "write", "read", "rs485", "rts high", "rts low", "sent".
    std::vector<std::string> calls;
    std::vector<std::string> results;  // each exchange's code and text, as the trace gets them

    // Forgets the script and the record, keeps the open state: one line for many runs.
    void Reset();

    bool Open(const std::string& device) override;
    bool Close() override {
        ++closes;
        m_bOpen = m_bOpen && !closeOk;
        return closeOk || Fail(EIO);
    }
    bool IsOpen() const override { return m_bOpen; }
    bool SetQueueSizes(std::uint32_t receive, std::uint32_t transmit) override {
        queueSizes = {receive, transmit};
        return queueSizesOk || Fail(EINVAL);
    }
    bool SetLine(const SerialDcb& line) override {
        dcb = line;
        return lineOk || Fail(EINVAL);
    }
    bool SetTimeouts(const SerialTimeouts& value) override {
        timeouts = value;
        return timeoutsOk || Fail(EINVAL);
    }
    bool Purge(std::uint32_t flags) override {
        purges.push_back(flags);
        return true;
    }
    bool Write(const std::uint8_t* data, std::uint32_t count, std::uint32_t* written) override;
    bool Read(std::uint8_t* data, std::uint32_t count, std::uint32_t* received) override;
    bool ClearError(std::uint32_t* errors, SerialStatus* status) override;
    void Abort() override { m_bAborted = true; }
    int LastError() const override { return m_nLastError; }
    int EnableRs485(const Rs485Settings& /*settings*/) override {
        calls.emplace_back("rs485");
        return rs485Error;
    }
    int SetRts(bool high) override {
        calls.emplace_back(high ? "rts high" : "rts low");
        return rtsError;
    }
    int WaitSent(std::uint32_t /*timeoutMs*/) override {
        calls.emplace_back("sent");
        return 0;
    }
    std::string Device() const override { return m_strDevice; }
    void EndExchange(std::uint16_t code, const std::string& text) override {
        results.push_back(std::to_string(code) + " " + text);
    }

private:
    std::uint32_t ReadTimed(std::uint8_t* data, std::uint32_t count);

    bool Fail(int error) {
        m_nLastError = error;
        return false;
    }

    bool m_bOpen = false;
    std::atomic<bool> m_bAborted{false};  // Abort comes from any thread, as on a real line
    int m_nLastError = 0;
    std::string m_strDevice;
    std::uint32_t m_writeAtMs = 0;
};
