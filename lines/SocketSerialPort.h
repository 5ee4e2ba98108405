#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "SerialPort.h"
#include "TcpConnection.h"

// A serial line that a device server carries over TCP, opened as "HOST:PORT". The read and
// write time-outs keep their Win32 meaning, measured on the line's bytes as they arrive; a
// connection that drops behaves like an unplugged adapter (every transfer fails at once and
// ClearError reports kCommErrorDevice) until the next Open connects again. What the bytes look
// like on the connection is the kind's business (the hooks below).
class CSocketSerialPort : public CSerialPort {
public:
    // Open waits at most this long for the name, the connection and the server's first
    // answers. The response time-out reaches a port only after its Open, so the bound is fixed:
    // enough for a server behind a slow link, short for the user-interface thread that waits.
    static constexpr int kOpenBoundMs = 3000;
    // The line's bytes kept unread: more than the longest frame (an ASCII one, 513 bytes). What
    // a server sends where no read takes it (during a negotiation, a line setting) beyond this
    // is dropped and counted.
    static constexpr std::size_t kKeptBytes = 1024;
    // A purge drops what has arrived, at most this much and for at most this long, so that a
    // server that never stops sending cannot hold it; what comes later is the next read's.
    static constexpr std::size_t kPurgeBytes = 256 * 1024;
    static constexpr int kPurgeBoundMs = 20;

    CSocketSerialPort() = default;
    ~CSocketSerialPort() override = default;
    CSocketSerialPort(const CSocketSerialPort&) = delete;
    CSocketSerialPort& operator=(const CSocketSerialPort&) = delete;

    bool Open(const std::string& device) override;
    bool Close() override;
    bool IsOpen() const override;
    bool SetQueueSizes(std::uint32_t receive, std::uint32_t transmit) override;
    bool SetTimeouts(const SerialTimeouts& timeouts) override;
    bool Purge(std::uint32_t flags) override;
    bool Write(const std::uint8_t* data, std::uint32_t count, std::uint32_t* written) override;
    bool Read(std::uint8_t* data, std::uint32_t count, std::uint32_t* received) override;
    bool ClearError(std::uint32_t* errors, SerialStatus* status) override;
    void Abort() override;
    int LastError() const override;
    std::string Device() const override;
    std::string LastErrorText() const override;
    // Names the bytes dropped since the last call, if any.
    std::vector<std::string> TakeNotes() override;

    // Line bytes dropped since the open because nothing could take them; safe from any thread.
    std::uint64_t DroppedBytes() const { return m_nDropped; }

protected:
    using Clock = CTcpConnection::Clock;

    // After the connection is up, before Open succeeds; on false the reason is set.
    virtual bool Handshake(Clock::time_point /*deadline*/) { return true; }
    // What came from the server: the line's bytes go to AppendReceived.
    virtual void Decode(const std::uint8_t* raw, std::size_t count) { AppendReceived(raw, count); }
    // The line's bytes as they go on the connection.
    virtual void Encode(const std::uint8_t* data, std::uint32_t count,
                        std::vector<std::uint8_t>& wire) {
        wire.assign(data, data + count);
    }
    virtual std::uint32_t DataBytesSent(const std::uint8_t* /*data*/, std::uint32_t count,
                                        std::size_t sent) {
        return static_cast<std::uint32_t>(std::min<std::size_t>(sent, count));
    }
    // Before the local queues are emptied.
    virtual void OnPurge(std::uint32_t /*flags*/) {}

    void AppendReceived(const std::uint8_t* data, std::size_t count);
    // Sends all of wire by the deadline (none: no bound); false with the errno set.
    bool SendAll(const std::vector<std::uint8_t>& wire, bool bounded, Clock::time_point deadline,
                 std::size_t* sent = nullptr);
    // Takes what the server has sent until done() or the deadline; false on a failure.
    bool ReceiveUntil(const std::function<bool()>& done, Clock::time_point deadline);
    bool Fail(int error, const std::string& text = {});
    const std::string& Host() const { return m_strHost; }
    const std::string& PortText() const { return m_strPort; }

private:
    enum class Pull { Got, Empty, Failed };
    // One non-blocking receive of at most most bytes, decoded; raw tells how many came.
    Pull PullOnce(std::size_t most, std::size_t& raw);
    bool StartTransfer(const void* data, std::uint32_t count, std::uint32_t* done);
    bool ConnectionLost(int error);
    std::uint32_t TakeReceived(std::uint8_t* data, std::uint32_t count);
    std::uint32_t Buffered() const {
        return static_cast<std::uint32_t>(m_received.size() - m_nReceivedPos);
    }

    CTcpConnection m_conn;
    SerialTimeouts m_timeouts;
    std::string m_strDevice;
    std::string m_strHost;
    std::string m_strPort;
    std::string m_strErrorText;
    int m_nLastError = 0;
    int m_nLostError = 0;  // why the connection dropped; 0 while it stands
    std::uint32_t m_dwErrors = 0;
    // The line's bytes received and not yet read, at most kKeptBytes.
    std::vector<std::uint8_t> m_received;
    std::size_t m_nReceivedPos = 0;
    std::atomic<std::uint64_t> m_nDropped{0};
    std::uint64_t m_nDroppedNoted = 0;
    std::vector<std::uint8_t> m_wire;
};
