#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "SerialPort.h"
#include "TcpConnection.h"

// A line that a server carries over one connection (TCP, or connected UDP), opened as
// "HOST:PORT": the open bounded in time, the Win32 read time-outs over the bytes as they
// arrive, and a line that fails like an unplugged adapter (every transfer fails at once and
// ClearError reports kCommErrorDevice) until the next Open. The kind says how bytes are kept.
class CNetworkPort : public CSerialPort {
public:
    // Open waits at most this long for the name, the connection and the server's first
    // answers. The response time-out reaches a port only after its Open, so the bound is fixed:
    // enough for a server behind a slow link, short for the user-interface thread that waits.
    static constexpr int kOpenBoundMs = 3000;
    // A purge drops what has arrived, at most this much and for at most this long, so that a
    // server that never stops sending cannot hold it; what comes later is the next read's.
    static constexpr std::size_t kPurgeBytes = 256 * 1024;
    static constexpr int kPurgeBoundMs = 20;

    ~CNetworkPort() override = default;
    CNetworkPort(const CNetworkPort&) = delete;
    CNetworkPort& operator=(const CNetworkPort&) = delete;

    bool Open(const std::string& device) override;
    bool Close() override;
    bool IsOpen() const override { return m_conn.IsOpen(); }
    bool SetQueueSizes(std::uint32_t receive, std::uint32_t transmit) override;
    bool SetTimeouts(const SerialTimeouts& timeouts) override;
    bool Read(std::uint8_t* data, std::uint32_t count, std::uint32_t* received) override;
    bool ClearError(std::uint32_t* errors, SerialStatus* status) override;
    void Abort() override { m_conn.Abort(); }
    int LastError() const override { return m_nLastError; }
    std::string Device() const override { return m_strDevice; }
    std::string LastErrorText() const override { return m_strErrorText; }

    // Line bytes dropped since the open because nothing could take them; safe from any thread.
    std::uint64_t DroppedBytes() const { return m_nDropped; }

protected:
    using Clock = CTcpConnection::Clock;

    // lostError: what a failed line reports when the OS gave no reason.
    CNetworkPort(CTcpConnection::Transport transport, int lostError)
        : m_conn(transport), m_nLostDefault(lostError) {}

    // After the connection is up, before Open succeeds; on false the reason is set.
    virtual bool Handshake(Clock::time_point /*deadline*/) { return true; }
    // Forgets the line's bytes kept unread.
    virtual void ForgetReceived() = 0;
    // The line's bytes kept unread.
    virtual std::uint32_t Buffered() const = 0;
    // Takes what the line holds into data, at most room bytes: the count, 0 when nothing is
    // there yet, -1 when the line failed.
    virtual long Fill(std::uint8_t* data, std::uint32_t room) = 0;

    bool Fail(int error, const std::string& text = {});
    // The line is gone until the next Open.
    bool LineLost(int error);
    int LostError() const { return m_nLostError; }
    // Checks a transfer may start; *done (if given) becomes 0.
    bool StartTransfer(const void* data, std::uint32_t count, std::uint32_t* done);
    // Waits for the events; an abort or a failure is recorded as the port's error.
    CTcpConnection::Wait WaitFor(short events, int ms);
    void CountDropped(std::size_t count) { m_nDropped += count; }
    // The bytes dropped since the last call.
    std::uint64_t TakeDropped();

    CTcpConnection& Connection() { return m_conn; }
    const SerialTimeouts& Timeouts() const { return m_timeouts; }
    const std::string& Host() const { return m_strHost; }
    const std::string& PortText() const { return m_strPort; }

private:
    CTcpConnection m_conn;
    const int m_nLostDefault;
    SerialTimeouts m_timeouts;
    std::string m_strDevice;
    std::string m_strHost;
    std::string m_strPort;
    std::string m_strErrorText;
    int m_nLastError = 0;
    int m_nLostError = 0;  // why the line failed; 0 while it stands
    std::uint32_t m_dwErrors = 0;
    std::atomic<std::uint64_t> m_nDropped{0};
    std::uint64_t m_nDroppedNoted = 0;
};
