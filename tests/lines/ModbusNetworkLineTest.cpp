// udp:// against a peer on 127.0.0.1 driven by hand; exchanges with the simulator are
// vornak-poll's.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>
#include <vector>

#include "PtyPair.h"
#include "lines/LinePort.h"
#include "lines/ModbusTcpPort.h"
#include "lines/ModbusUdpPort.h"
#include "lines/TracePort.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A UDP socket on 127.0.0.1 answering the client it last heard; receives give up after 2 s.
struct Peer {
    int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in client{};
    int port = Bind();
    ~Peer() { ::close(fd); }

    int Bind() const {
        const timeval limit{2, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        sockaddr_in at{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t len = sizeof at;
        const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&at), len) == 0 &&
                        ::getsockname(fd, reinterpret_cast<sockaddr*>(&at), &len) == 0;
        return ok ? ntohs(at.sin_port) : 0;
    }
    Bytes ReceiveOnce() {
        Bytes data(1024);
        socklen_t len = sizeof client;
        const long n =
            ::recvfrom(fd, data.data(), data.size(), 0, reinterpret_cast<sockaddr*>(&client), &len);
        data.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        return data;
    }
    void Send(const Bytes& data, int from = -1) {
        ::sendto(from >= 0 ? from : fd, data.data(), data.size(), 0,
                 reinterpret_cast<sockaddr*>(&client), sizeof client);
    }
};

const Bytes kRequest = {0x00, 0x01, 0x00, 0x00, 0x00, 0x06, 0x11, 0x03, 0x00, 0x6B, 0x00, 0x01};
const Bytes kAnswer = {0x00, 0x01, 0x00, 0x00, 0x00, 0x05, 0x11, 0x03, 0x02, 0x12, 0x34};

Bytes ReadAll(CSerialPort& port) {
    Bytes data(300);
    std::uint32_t got = 0;
    EXPECT_TRUE(port.Read(data.data(), 300, &got)) << port.LastError();
    data.resize(got);
    return data;
}

// A silent server's read waits out its total bound, not less; an abort ends a longer one.
TEST(ModbusUdpLineTest, AReadWaitsItsBoundUnlessAnAbortEndsIt) {
    Peer peer;
    CLinePort port;
    ASSERT_TRUE(port.Open("udp://127.0.0.1:" + std::to_string(peer.port))) << port.LastErrorText();
    ASSERT_TRUE(port.SetTimeouts({100, 0, 1000, 0, 1000}));
    const Stopwatch silent;
    EXPECT_EQ(ReadAll(port), Bytes());
    EXPECT_GE(silent.Ms(), 950);
    EXPECT_LT(silent.Ms(), 1000 + 2000);
    ASSERT_TRUE(port.SetTimeouts({0, 0, 10000, 0, 1000}));
    const Stopwatch watch;
    std::thread aborter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        port.Abort();
    });
    std::uint8_t data[8];
    std::uint32_t got = 0;
    EXPECT_FALSE(port.Read(data, sizeof data, &got));
    aborter.join();
    EXPECT_EQ(port.LastError(), ECANCELED);
    EXPECT_LT(watch.Ms(), 200 + 2000);
}

TEST(ModbusUdpLineTest, OnlyTheServersDatagramsComeInLongOnesAreCutAndPurgeDropsThem) {
    Peer peer;
    CModbusUdpPort port;
    ASSERT_TRUE(port.Open("127.0.0.1:" + std::to_string(peer.port))) << port.LastErrorText();
    ASSERT_TRUE(port.SetTimeouts({kReadAtOnce, 0, 1000, 0, 1000}));
    std::uint32_t written = 0;
    ASSERT_TRUE(port.Write(kRequest.data(), static_cast<std::uint32_t>(kRequest.size()), &written));
    EXPECT_EQ(peer.ReceiveOnce(), kRequest);
    const Peer stranger;
    ASSERT_NE(stranger.port, 0);
    peer.Send({0xEE, 0xEE, 0xEE}, stranger.fd);  // sent first: it would be read first
    peer.Send(kAnswer);
    EXPECT_EQ(ReadAll(port), kAnswer);
    EXPECT_EQ(port.DroppedBytes(), 0U);

    peer.Send(Bytes(300, 0x5A));
    EXPECT_EQ(ReadAll(port), Bytes(CModbusUdpPort::kMaxFrame, 0x5A));
    EXPECT_EQ(port.DroppedBytes(), 300 - CModbusUdpPort::kMaxFrame);

    for (int i = 0; i < 3; ++i) {
        peer.Send(kAnswer);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::uint32_t errors = 0;
    SerialStatus status;
    ASSERT_TRUE(port.ClearError(&errors, &status));
    EXPECT_EQ(status.cbInQue, kAnswer.size());  // the next datagram's bytes
    ASSERT_TRUE(port.Purge(kPurgeAll));
    ASSERT_TRUE(port.SetTimeouts({kReadAtOnce, 0, 0, 0, 0}));
    EXPECT_EQ(ReadAll(port), Bytes());
}

TEST(ModbusUdpLineTest, PortUnreachableFailsTheReadAtOnceAsALostLine) {
    const int closed = Peer().port;  // closed again at once
    CModbusUdpPort port;
    ASSERT_TRUE(port.Open("127.0.0.1:" + std::to_string(closed)));
    ASSERT_TRUE(port.SetTimeouts({100, 0, 5000, 0, 1000}));
    std::uint32_t done = 0;
    ASSERT_TRUE(port.Write(kRequest.data(), static_cast<std::uint32_t>(kRequest.size()), &done));
    const Stopwatch watch;
    std::uint8_t data[16];
    EXPECT_FALSE(port.Read(data, sizeof data, &done));
    EXPECT_LT(watch.Ms(), 2000);  // well short of the 5 s the read would wait
    EXPECT_EQ(port.LastError(), ECONNREFUSED);
    std::uint32_t errors = 0;
    port.ClearError(&errors, nullptr);
    EXPECT_EQ(errors & kCommErrorDevice, kCommErrorDevice);
}

TEST(LineFramingTest, EveryLayerHandsDownTheFramingOfTheLineItWraps) {
    const auto trace = [](std::unique_ptr<CSerialPort> inner) {
        return CTracePort(std::move(inner), std::make_shared<CTraceFile>("/nonexistent/t"), "x");
    };
    EXPECT_EQ(trace(std::make_unique<CModbusTcpPort>()).Framing(), LineFraming::Mbap);
    EXPECT_EQ(trace(std::make_unique<CTcpSerialPort>()).Framing(), LineFraming::Serial);
}

}  // namespace
