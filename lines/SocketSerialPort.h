#pragma once

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "NetworkPort.h"

// A serial line that a device server carries over TCP, opened as "HOST:PORT". The read and
// write time-outs keep their Win32 meaning, measured on the line's bytes as they arrive; a
// connection that drops behaves like an unplugged adapter until the next Open connects again.
// What the bytes look like on the connection is the kind's business (the hooks below).
class CSocketSerialPort : public CNetworkPort {
public:
    // The line's bytes kept unread: more than the longest frame (an ASCII one, 513 bytes). What
    // a server sends where no read takes it (during a negotiation, a line setting) beyond this
    // is dropped and counted.
    static constexpr std::size_t kKeptBytes = 1024;

    CSocketSerialPort() : CNetworkPort(CTcpConnection::Transport::Stream, ECONNRESET) {}

    bool Purge(std::uint32_t flags) override;
    bool Write(const std::uint8_t* data, std::uint32_t count, std::uint32_t* written) override;
    // Names the bytes dropped since the last call, if any.
    std::vector<std::string> TakeNotes() override;

protected:
    // What came from the server: the line's bytes go to AppendReceived. A kind that finds the
    // connection broken here or in Encode marks the line lost.
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

private:
    enum class Pull { Got, Empty, Failed };
    // One non-blocking receive of at most most bytes, decoded; raw tells how many came.
    Pull PullOnce(std::size_t most, std::size_t& raw);
    void ForgetReceived() override {
        m_received.clear();
        m_nReceivedPos = 0;
    }
    std::uint32_t Buffered() const override {
        return static_cast<std::uint32_t>(m_received.size() - m_nReceivedPos);
    }
    long Fill(std::uint8_t* data, std::uint32_t room) override;
    std::uint32_t TakeReceived(std::uint8_t* data, std::uint32_t count);

    // The line's bytes received and not yet read, at most kKeptBytes.
    std::vector<std::uint8_t> m_received;
    std::size_t m_nReceivedPos = 0;
    std::vector<std::uint8_t> m_wire;
};
