#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "SerialPort.h"
#include "TcpConnection.h"

// Modbus UDP ("udp://HOST[:PORT]"): one MBAP frame per datagram on a connected UDP socket, so
// only the server's own datagrams come in. Each Write is one datagram; a Read hands out the
// bytes of the datagrams as they came, under the Win32 read time-outs. A server that answers
// "port unreachable" fails the line as an unplugged adapter does, until the next Open.
class CModbusUdpPort : public CSerialPort {
public:
    // The longest MBAP frame: a 7-byte header and a 253-byte PDU. One datagram this long is kept
    // unread; the bytes of a longer one beyond it are dropped and counted.
    static constexpr std::size_t kMaxFrame = 260;
    // A purge drops queued datagrams, at most this much and for at most this long.
    static constexpr std::size_t kPurgeBytes = 256 * 1024;
    static constexpr int kPurgeBoundMs = 20;

    CModbusUdpPort() : m_conn(CTcpConnection::Transport::Datagram) {}

    bool Open(const std::string& device) override;
    bool Close() override;
    bool IsOpen() const override { return m_conn.IsOpen(); }
    bool SetQueueSizes(std::uint32_t receive, std::uint32_t transmit) override;
    bool SetLine(const SerialDcb& dcb) override;
    bool SetTimeouts(const SerialTimeouts& timeouts) override;
    bool Purge(std::uint32_t flags) override;
    bool Write(const std::uint8_t* data, std::uint32_t count, std::uint32_t* written) override;
    bool Read(std::uint8_t* data, std::uint32_t count, std::uint32_t* received) override;
    bool ClearError(std::uint32_t* errors, SerialStatus* status) override;
    void Abort() override { m_conn.Abort(); }
    int LastError() const override { return m_nLastError; }
    std::string Device() const override { return m_strDevice; }
    std::string LastErrorText() const override { return m_strErrorText; }
    std::vector<std::string> TakeNotes() override;
    LineFraming Framing() const override { return LineFraming::Mbap; }

    // Bytes of datagrams beyond kMaxFrame dropped since the open; safe from any thread.
    std::uint64_t DroppedBytes() const { return m_nDropped; }

private:
    enum class Pull { Got, Empty, Failed };
    // Takes one waiting datagram into the kept one, which must be empty.
    Pull PullDatagram();
    bool StartTransfer(const void* data, std::uint32_t count, std::uint32_t* done);
    bool Fail(int error, const std::string& text = {});
    bool LineLost(int error);
    CAbortableWait::Wait WaitFor(short events, int ms);

    CTcpConnection m_conn;
    SerialTimeouts m_timeouts;
    std::string m_strDevice;
    std::string m_strHost;
    std::string m_strPort;
    std::string m_strErrorText;
    int m_nLastError = 0;
    int m_nLostError = 0;  // why the line failed; 0 while it stands
    std::uint32_t m_dwErrors = 0;
    std::uint8_t m_datagram[kMaxFrame] = {};
    std::size_t m_nDatagramSize = 0;
    std::size_t m_nDatagramPos = 0;
    std::atomic<std::uint64_t> m_nDropped{0};
    std::uint64_t m_nDroppedNoted = 0;
};
