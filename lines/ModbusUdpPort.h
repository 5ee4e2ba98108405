#pragma once

#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

#include "NetworkPort.h"

// Modbus UDP ("udp://HOST[:PORT]"): one MBAP frame per datagram on a connected UDP socket, so
// only the server's own datagrams come in. Each Write is one datagram; a Read hands out the
// bytes of the datagrams as they came, under the Win32 read time-outs. A server that answers
// "port unreachable" fails the line as an unplugged adapter does, until the next Open. Nothing
// answers a UDP connect: the open's bound is the name lookup's.
class CModbusUdpPort : public CNetworkPort {
public:
    // The longest MBAP frame: a 7-byte header and a 253-byte PDU. One datagram this long is kept
    // unread; the bytes of a longer one beyond it are dropped and counted.
    static constexpr std::size_t kMaxFrame = 260;

    CModbusUdpPort() : CNetworkPort(CTcpConnection::Transport::Datagram, EIO) {}

    bool SetLine(const SerialDcb& dcb) override;
    bool Purge(std::uint32_t flags) override;
    bool Write(const std::uint8_t* data, std::uint32_t count, std::uint32_t* written) override;
    std::vector<std::string> TakeNotes() override;
    LineFraming Framing() const override { return LineFraming::Mbap; }

private:
    void ForgetReceived() override {
        m_nDatagramSize = 0;
        m_nDatagramPos = 0;
    }
    std::uint32_t Buffered() const override {
        return static_cast<std::uint32_t>(m_nDatagramSize - m_nDatagramPos);
    }
    long Fill(std::uint8_t* data, std::uint32_t room) override;

    std::uint8_t m_datagram[kMaxFrame] = {};
    std::size_t m_nDatagramSize = 0;
    std::size_t m_nDatagramPos = 0;
};
