// The real master through serial device servers to the simulator on a pseudo-terminal: socat
// and ser2net in raw TCP, ser2net with RFC 2217.

#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "SlaveProcess.h"
#include "modbus/LocalModbus.h"
#include "platform/Rfc2217SerialPort.h"
#include "platform/TcpSerialPort.h"
#include "tests/support/DeviceServer.h"

namespace {

using namespace std::chrono_literals;

constexpr std::uint8_t kPort = 5;

struct ServerCase {
    const char* name;
    ServerKind kind;
    std::uint16_t mode;  // the master's: 0 RTU, 1 ASCII
};

const ServerCase kCases[] = {
    {"SocatRtu", ServerKind::Socat, 0},
    {"SocatAscii", ServerKind::Socat, 1},
    {"Ser2netRtu", ServerKind::Ser2netRaw, 0},
    {"Ser2netAscii", ServerKind::Ser2netRaw, 1},
    {"Rfc2217Rtu", ServerKind::Ser2netRfc2217, 0},
    {"Rfc2217Ascii", ServerKind::Ser2netRfc2217, 1},
};

// The device string a user writes in the port map; the master's own line port reads it.
std::string MappedDevice(ServerKind kind, const std::string& endpoint) {
    return (kind == ServerKind::Ser2netRfc2217 ? "rfc2217://" : "socket://") + endpoint;
}

class DeviceServerTest : public ::testing::TestWithParam<ServerCase> {
protected:
    void StartAndOpen(std::vector<std::string> args) {
        args.insert(args.begin(), {"--mode", GetParam().mode == 0 ? "rtu" : "ascii"});
        ASSERT_TRUE(slave.Start(args));
        ASSERT_TRUE(server.Start(GetParam().kind, slave.Path()));
        const std::string device = MappedDevice(GetParam().kind, server.Endpoint());
        ASSERT_EQ(::setenv("VORNAK_COM5", device.c_str(), 1), 0);
        master.SetMode(GetParam().mode);
        // The program's default: a server hands the line's bytes on in pieces, with gaps
        // that a silence of a few character times would take for the end of the frame.
        master.SetCharInterval(100);
        ASSERT_TRUE(master.Open(kPort, 9600, 0)) << master.GetPortErrorText();
    }

    CSlaveProcess slave;
    CDeviceServer server;
    CLocalModbus master;
};

TEST_P(DeviceServerTest, RegistersWithIacBytesPassUnchanged) {
    StartAndOpen({});
    const std::uint16_t written[] = {0xFFFF, 0xFF00, 0x00FF, 0x1234};
    for (std::uint16_t i = 0; i < 4; ++i) {
        ASSERT_EQ(master.PresetSingleRegister(1, 10 + i, written[i]), kModbusOk);
    }
    WordArray values(125, 0xEEEE);
    ASSERT_EQ(master.ReadHoldingRegisters(1, 0, 125, values), kModbusOk);
    WordArray want(125, 0);
    std::copy(std::begin(written), std::end(written), want.begin() + 10);
    EXPECT_EQ(values, want);
}

TEST_P(DeviceServerTest, VanishedServerActsLikeAnUnpluggedAdapterAndComesBack) {
    StartAndOpen({"--fault-plan", ".s"});  // the server vanishes while the second one waits
    WordArray values(4, 0);
    ASSERT_EQ(master.ReadHoldingRegisters(1, 0, 4, values), kModbusOk);
    const int port = server.Port();
    std::thread killer([this] {
        std::this_thread::sleep_for(100ms);
        server.Stop(SIGKILL);
    });
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 4, values), kModbusReadError);
    killer.join();
    Stopwatch later;
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 4, values), kModbusPortNotOpen);
    EXPECT_LT(later.Ms(), 500);

    ASSERT_TRUE(server.Start(GetParam().kind, slave.Path(), port));
    ASSERT_TRUE(master.Open(kPort, 9600, 0)) << master.GetPortErrorText();
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 4, values), kModbusOk);
}

INSTANTIATE_TEST_SUITE_P(Servers, DeviceServerTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

speed_t LineSpeed(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::close(fd);
    return ::cfgetospeed(&tio);
}

TEST(Rfc2217Test, BitRateReachesTheLineAndUnansweredModemLinesAreNoted) {
    CSlaveProcess slave;
    CDeviceServer server;
    ASSERT_TRUE(slave.Start({}));
    ASSERT_TRUE(server.Start(ServerKind::Ser2netRfc2217, slave.Path()));
    ASSERT_EQ(::setenv("VORNAK_COM5", server.Endpoint().c_str(), 1), 0);
    auto owned = std::make_unique<CRfc2217SerialPort>();
    CRfc2217SerialPort* port = owned.get();
    CLocalModbus master(std::move(owned));
    master.SetCharInterval(100);
    for (const auto& [baud, speed] : {std::pair{19200u, B19200}, std::pair{38400u, B38400}}) {
        ASSERT_TRUE(master.Open(kPort, baud, 0)) << master.GetPortErrorText();
        EXPECT_EQ(LineSpeed(slave.Path()), speed) << baud;
    }
    // A pseudo-terminal has no modem lines, and ser2net leaves them unanswered.
    const std::vector<std::string> notes = port->TakeNotes();
    ASSERT_FALSE(notes.empty());
    EXPECT_NE(notes.front().find("DTR on"), std::string::npos) << notes.front();
}

// A server that takes COM Port Control but keeps its line at 9600 bit/s.
void RunStubbornServer(int listener) {
    const int fd = ::accept(listener, nullptr, nullptr);
    telnet::CDecoder decoder;
    std::vector<std::uint8_t> data;
    std::vector<telnet::Event> events;
    std::uint8_t buffer[256];
    for (long n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) {
        decoder.Feed(buffer, static_cast<std::size_t>(n), data, events);
        for (const telnet::Event& e : events) {
            std::vector<std::uint8_t> reply = telnet::Negotiation(telnet::kDo, e.option);
            if (e.kind == telnet::Event::Kind::Subnegotiation) {
                const std::uint8_t command = e.payload.at(0);
                reply = telnet::ComPortCommand(
                    command + telnet::kServerReply,
                    command == telnet::kSetBaudRate
                        ? telnet::BaudRateValue(9600)
                        : std::vector<std::uint8_t>(e.payload.begin() + 1, e.payload.end()));
            }
            if (::write(fd, reply.data(), reply.size()) < 0) {
                break;  // the master has gone; the read below ends the loop
            }
        }
        events.clear();
    }
    ::close(fd);
}

TEST(Rfc2217Test, RefusedSettingFailsTheOpenWithTheReason) {
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t len = sizeof a;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(::listen(listener, 1), 0);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);
    std::thread stub(RunStubbornServer, listener);
    const std::string endpoint = "127.0.0.1:" + std::to_string(ntohs(a.sin_port));
    ASSERT_EQ(::setenv("VORNAK_COM5", endpoint.c_str(), 1), 0);
    {
        CLocalModbus master(std::make_unique<CRfc2217SerialPort>());
        EXPECT_FALSE(master.Open(kPort, 19200, 0));
        EXPECT_EQ(master.GetPortErrorText(), "127.0.0.1 port " + std::to_string(ntohs(a.sin_port)) +
                                                 " refused the bit rate 19200 (it answered 9600)");
    }
    stub.join();
    ::close(listener);
}

struct OpenFailure {
    std::string endpoint;
    int error;
    std::string reason;  // a part of the text
};

TEST(DeviceServerOpenTest, FailuresGiveTheirReasons) {
    CSlaveProcess slave;
    CDeviceServer raw;
    ASSERT_TRUE(slave.Start({}));
    ASSERT_TRUE(raw.Start(ServerKind::Ser2netRaw, slave.Path()));
    const std::string closed = std::to_string(FreeTcpPort());
    CTcpSerialPort holder;
    ASSERT_TRUE(holder.Open(raw.Endpoint()));
    const OpenFailure cases[] = {
        {"nohost.invalid:4001", EHOSTUNREACH, "cannot resolve host \"nohost.invalid\": "},
        {"127.0.0.1:" + closed, ECONNREFUSED,
         "cannot connect to 127.0.0.1 port " + closed + ": Connection refused"},
        {"127.0.0.1", EINVAL, "\"127.0.0.1\" is not HOST:PORT"},
        {"localhost:99999", EINVAL, "is not a TCP port (1 to 65535)"},
        {raw.Endpoint(), EBUSY, "is already open in this program"},
    };
    for (const OpenFailure& c : cases) {
        CTcpSerialPort port;
        EXPECT_FALSE(port.Open(c.endpoint)) << c.endpoint;
        EXPECT_EQ(port.LastError(), c.error) << c.endpoint;
        EXPECT_NE(port.LastErrorText().find(c.reason), std::string::npos) << port.LastErrorText();
    }
    holder.Close();
    // Telnet to a raw server: nobody answers the negotiation, and the open gives up in time.
    CRfc2217SerialPort telnetPort;
    Stopwatch watch;
    EXPECT_FALSE(telnetPort.Open(raw.Endpoint()));
    EXPECT_LT(watch.Ms(), CSocketSerialPort::kOpenBoundMs + 2000);
    EXPECT_NE(telnetPort.LastErrorText().find("for a raw TCP port use socket://"),
              std::string::npos)
        << telnetPort.LastErrorText();
}

TEST(DeviceServerOpenTest, AbortCutsAWaitingReadShort) {
    CSlaveProcess slave;
    CDeviceServer server;
    ASSERT_TRUE(slave.Start({"--silent"}));
    ASSERT_TRUE(server.Start(ServerKind::Socat, slave.Path()));
    CTcpSerialPort port;
    ASSERT_TRUE(port.Open(server.Endpoint()));
    ASSERT_TRUE(port.SetTimeouts(SerialTimeouts{0, 0, 20000, 0, 0}));
    std::thread aborter([&port] {
        std::this_thread::sleep_for(100ms);
        port.Abort();
    });
    std::uint8_t buffer[8];
    std::uint32_t got = 0;
    Stopwatch watch;
    EXPECT_FALSE(port.Read(buffer, sizeof buffer, &got));
    EXPECT_EQ(port.LastError(), ECANCELED);
    EXPECT_LT(watch.Ms(), 5000);
    aborter.join();
}

}  // namespace
