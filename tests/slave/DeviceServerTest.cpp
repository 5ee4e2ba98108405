// The real master through serial device servers to the simulator on a pseudo-terminal: socat
// and ser2net in raw TCP, ser2net with RFC 2217; and the opens that fail, against bare sockets.

#include <fcntl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "SlaveProcess.h"
#include "lines/Rfc2217SerialPort.h"
#include "lines/TcpSerialPort.h"
#include "modbus/LocalModbus.h"
#include "tests/support/DeviceServer.h"

namespace {

using namespace std::chrono_literals;

constexpr std::uint8_t kPort = 5;  // VORNAK_COM5

// The bit rate in the pseudo-terminal's termios.
speed_t LineSpeed(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::close(fd);
    return ::cfgetospeed(&tio);
}

struct ServerCase {
    const char* name;
    ServerKind kind;
    std::uint16_t mode;  // the master's: 0 RTU, 1 ASCII
};
void PrintTo(const ServerCase& c, std::ostream* os) {
    *os << c.name;
}

class DeviceServerTest : public ::testing::TestWithParam<ServerCase> {};

TEST_P(DeviceServerTest, IacValuesPassAndAVanishedServerOrAnAbortCutsAWaitShort) {
    const ServerCase& c = GetParam();
    const bool telnet = c.kind == ServerKind::Ser2netRfc2217;  // carries the bit rate; raw cannot
    CSlaveProcess slave;
    CDeviceServer server;
    // The sixth and the eighth request go unanswered: the master is waiting when cut short.
    // Through telnet the master sets the line to 19200, later 38400 bit/s: heard at either.
    ASSERT_TRUE(slave.Start(
        {"--mode", c.mode == 0 ? "rtu" : "ascii", "--fault-plan", ".....s.s", "--any-settings"}));
    ASSERT_TRUE(server.Start(c.kind, slave.Path()));
    const std::string device = (telnet ? "rfc2217://" : "socket://") + server.Endpoint();
    ASSERT_EQ(::setenv("VORNAK_COM5", device.c_str(), 1), 0);
    CLocalModbus master;
    master.SetMode(c.mode);
    master.SetTimeout(20000);
    master.SetCharInterval(100);  // the program's default: a server hands bytes on in pieces
    ASSERT_TRUE(master.Open(kPort, 19200, 0)) << master.GetPortErrorText();
    EXPECT_EQ(telnet ? LineSpeed(slave.Path()) : B19200, B19200);
    WordArray want(125, 0);
    const std::uint16_t written[] = {0xFFFF, 0xFF00, 0x00FF, 0x1234};
    for (std::uint16_t i = 0; i < 4; ++i) {
        ASSERT_EQ(master.PresetSingleRegister(1, 10 + i, want[10 + i] = written[i]), kModbusOk);
    }
    WordArray values(125, 0xEEEE);
    ASSERT_EQ(master.ReadHoldingRegisters(1, 0, 125, values), kModbusOk);
    EXPECT_EQ(values, want);

    const auto cutShortBy = [&](const std::function<void()>& cut) {
        std::thread cutter([&cut] {
            std::this_thread::sleep_for(100ms);
            cut();
        });
        Stopwatch watch;
        EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 4, values), kModbusReadError);
        cutter.join();
        EXPECT_LT(watch.Ms(), 5000);
    };
    // A vanished server is an unplugged adapter: the next exchange fails at once.
    cutShortBy([&server] { server.Stop(SIGKILL); });
    Stopwatch later;
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 4, values), kModbusPortNotOpen);
    EXPECT_LT(later.Ms(), 500);

    ASSERT_TRUE(server.Start(c.kind, slave.Path(), server.Port()));
    ASSERT_TRUE(master.Open(kPort, 38400, 0)) << master.GetPortErrorText();
    EXPECT_EQ(telnet ? LineSpeed(slave.Path()) : B38400, B38400);
    values.assign(125, 0xEEEE);
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 125, values), kModbusOk);
    EXPECT_EQ(values, want);
    cutShortBy([&master] { master.AbortExchanges(); });  // from another thread
}

const ServerCase kCases[] = {
    {"SocatRtu", ServerKind::Socat, 0},
    {"SocatAscii", ServerKind::Socat, 1},
    {"Ser2netRtu", ServerKind::Ser2netRaw, 0},
    {"Ser2netAscii", ServerKind::Ser2netRaw, 1},
    {"Rfc2217Rtu", ServerKind::Ser2netRfc2217, 0},
    {"Rfc2217Ascii", ServerKind::Ser2netRfc2217, 1},
};
INSTANTIATE_TEST_SUITE_P(Servers, DeviceServerTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Each through the master, as the user sees it; a failing open never waits long.
TEST(DeviceServerOpenTest, FailuresGiveTheirReasonsInTime) {
    // Bare sockets: one held by another port, one that never says a word, and one that takes COM
    // Port Control but keeps its line at 9600 bit/s whatever it is told (an answer that comes
    // before its question is ignored).
    int held = 0, quiet = 0, stubborn = 0;
    const int listeners[] = {ListenOnLoopback(held), ListenOnLoopback(quiet),
                             ListenOnLoopback(stubborn)};
    const auto at = [](int port) { return "127.0.0.1:" + std::to_string(port); };
    CTcpSerialPort holder;
    ASSERT_TRUE(holder.Open(at(held)));
    std::thread stub([fd = listeners[2]] {
        using namespace telnet;
        std::vector<std::uint8_t> reply = Negotiation(kDo, kOptionComPort);
        const auto baud = ComPortCommand(kSetBaudRate + kServerReply, BaudRateValue(9600));
        reply.insert(reply.end(), baud.begin(), baud.end());
        const int conn = ::accept(fd, nullptr, nullptr);
        std::uint8_t buffer[256];
        while (::read(conn, buffer, sizeof buffer) > 0 &&
               ::write(conn, reply.data(), reply.size()) > 0) {
        }
        ::close(conn);
    });
    const std::string closed = std::to_string(FreeTcpPort());
    const std::tuple<std::string, int, std::string> cases[] = {
        {"socket://nohost.invalid:4001", EHOSTUNREACH, "cannot resolve host \"nohost.invalid\": "},
        {"socket://127.0.0.1:" + closed, ECONNREFUSED,
         "cannot connect to 127.0.0.1 port " + closed + ": Connection refused"},
        {"socket://127.0.0.1", EINVAL, "\"127.0.0.1\" is not HOST:PORT"},
        {"socket://localhost:99999", EINVAL, "is not a TCP port (1 to 65535)"},
        {"socket://" + at(held), EBUSY, "is already open in this program"},
        // Telnet to a raw server, whose line leaves the negotiation unanswered.
        {"rfc2217://" + at(quiet), ETIMEDOUT, " ms; for a raw TCP port use socket://"},
        {"rfc2217://" + at(stubborn), EINVAL,
         "127.0.0.1 port " + std::to_string(stubborn) +
             " refused the bit rate 19200 (it answered 9600)"},
    };
    for (const auto& [device, error, reason] : cases) {
        SCOPED_TRACE(device);
        EXPECT_EQ(::setenv("VORNAK_COM5", device.c_str(), 1), 0);
        CLocalModbus master;
        Stopwatch watch;
        EXPECT_FALSE(master.Open(kPort, 19200, 0));
        EXPECT_LT(watch.Ms(), CSocketSerialPort::kOpenBoundMs + 2000);
        EXPECT_EQ(master.GetLastPortError(), error);
        EXPECT_NE(master.GetPortErrorText().find(reason), std::string::npos)
            << master.GetPortErrorText();
    }
    ::shutdown(listeners[2], SHUT_RDWR);  // the stub's accept ends even if nobody came
    stub.join();
    for (const int fd : listeners) {
        ::close(fd);
    }
}

}  // namespace
