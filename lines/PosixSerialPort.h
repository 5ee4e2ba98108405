#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "AbortableWait.h"
#include "SerialPort.h"

struct termios;

// A Unix 98 pseudo-terminal's terminal side, which keeps CS8 without parity whatever is set.
bool IsPseudoTerminal(int fd);

// CSerialPort on a POSIX tty: termios raw mode, poll() with a monotonic clock for the Win32
// read time-outs, FIONREAD / TIOCOUTQ for the queue counts. Open is exclusive (TIOCEXCL and an
// advisory flock, which also holds against root).
class CPosixSerialPort : public CSerialPort {
public:
    CPosixSerialPort() = default;
    ~CPosixSerialPort() override;
    CPosixSerialPort(const CPosixSerialPort&) = delete;
    CPosixSerialPort& operator=(const CPosixSerialPort&) = delete;

    bool Open(const std::string& device) override;
    bool Close() override;
    bool IsOpen() const override;
    bool SetQueueSizes(std::uint32_t receive, std::uint32_t transmit) override;
    bool SetLine(const SerialDcb& dcb) override;
    bool SetTimeouts(const SerialTimeouts& timeouts) override;
    bool Purge(std::uint32_t flags) override;
    bool Write(const std::uint8_t* data, std::uint32_t count, std::uint32_t* written) override;
    bool Read(std::uint8_t* data, std::uint32_t count, std::uint32_t* received) override;
    bool ClearError(std::uint32_t* errors, SerialStatus* status) override;
    void Abort() override;
    int LastError() const override;
    // Set where the errno alone would not tell the user why: a bit rate the driver refused.
    std::string LastErrorText() const override;
    std::string Device() const override;
    int EnableRs485(const Rs485Settings& settings) override;
    int SetRts(bool high) override;
    int WaitSent(std::uint32_t timeoutMs) override;
    void SetLowLatency(bool on) override;

private:
    using Wait = CAbortableWait::Wait;

    // Waits for the events on the tty or for Abort(); timeoutMs < 0 waits without bound.
    // On Failed the errno is in m_nWaitError.
    Wait WaitFor(short events, int timeoutMs);
    bool StartTransfer(const void* data, std::uint32_t count, std::uint32_t* done);
    bool Fail(int error);
    bool Fail(int error, std::string why);
    // A failure that means the device has gone (EIO, ENXIO, ENODEV) is also kept for
    // ClearError as kCommErrorDevice.
    bool DeviceFailure(int error);
    static void MakeRaw(termios& tio);
    // Reads like ::read, but small reads are served from a buffer filled with whatever the
    // tty holds, so a caller that takes one byte at a time costs one system call per chunk.
    long ReadAhead(std::uint8_t* data, std::uint32_t count);
    void DropReadAhead() { m_nAheadPos = m_nAheadEnd = 0; }

    std::atomic<int> m_fd{-1};  // read by IsOpen from any thread
    CAbortableWait m_wait;
    std::atomic<int> m_nLastError{0};
    std::uint32_t m_dwErrors = 0;
    int m_nWaitError = 0;
    SerialTimeouts m_timeouts;
    std::string m_strDevice;
    std::string m_strError;
    // Received, not yet read: part of the receive queue.
    std::uint8_t m_ahead[256] = {};
    std::uint32_t m_nAheadPos = 0;
    std::uint32_t m_nAheadEnd = 0;
    // Written since the output queue was last seen empty; only a write can fill it again.
    bool m_bOutputPending = false;
};
