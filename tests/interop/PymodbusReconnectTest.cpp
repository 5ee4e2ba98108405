// The master on a tcp:// line to pymodbus's server that dies mid-run: the exchange that finds
// it gone fails, the line is let go, and an Open once the server is back reads again.

#include <gtest/gtest.h>

#include <cstdlib>

#include "PymodbusServer.h"
#include "modbus/LocalModbus.h"

namespace {

constexpr std::uint8_t kPort = 9;
const WordArray kHolding = {0x1234, 0xFFFF, 0, 1, 40000, 0x8000, 0x00FF, 12345};

TEST(PymodbusReconnect, AKilledServerFailsTheExchangeThenOpenReadsAgain) {
    CPymodbusServer server;
    const int port = CPymodbusServer::FreePort("tcp");
    ASSERT_NE(port, 0);
    const CPymodbusServer::Outcome started = server.Start("tcp", port);
    if (started == CPymodbusServer::Outcome::Missing) {
        GTEST_SKIP() << "python3-pymodbus is missing (scripts/deps.sh installs it): "
                     << server.Said();
    }
    ASSERT_EQ(started, CPymodbusServer::Outcome::Ready) << server.Said();
    ::setenv("VORNAK_COM9", ("tcp://127.0.0.1:" + std::to_string(port)).c_str(), 1);

    CLocalModbus master;
    master.SetTimeout(1000);
    ASSERT_TRUE(master.Open(kPort, 9600, 0)) << master.GetPortErrorText();
    WordArray values;
    const auto read = [&] {
        values.assign(kHolding.size(), 0xDEAD);
        return master.ReadHoldingRegisters(1, 0, static_cast<std::uint16_t>(kHolding.size()),
                                           values);
    };
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(read(), kModbusOk);
        EXPECT_EQ(values, kHolding);
    }

    server.Kill();
    const std::uint16_t lost = read();
    EXPECT_TRUE(lost == kModbusReadError || lost == kModbusWriteError) << lost;
    EXPECT_FALSE(master.IsPortOpen());
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(read(), kModbusPortNotOpen);
    }

    ASSERT_EQ(server.Start("tcp", port), CPymodbusServer::Outcome::Ready) << server.Said();
    ASSERT_TRUE(master.Open(kPort, 9600, 0)) << master.GetPortErrorText();
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(read(), kModbusOk);
        EXPECT_EQ(values, kHolding);
    }
    master.Close();
    ::unsetenv("VORNAK_COM9");
}

}  // namespace
