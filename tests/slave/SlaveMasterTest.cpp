// The real master against the real simulator over a pseudo-terminal, in both framings: what
// the master sends is checked in the slave's log, what the slave sends in the master's codes.

#include <signal.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <numeric>
#include <thread>

#include "SlaveProcess.h"
#include "modbus/LocalModbus.h"

namespace {

using namespace std::chrono_literals;

constexpr std::uint8_t kPort = 3;

struct ModeCase {
    const char* name;
    std::uint16_t mode;  // the master's: 0 RTU, 1 ASCII
    const char* slaveMode;
};

const ModeCase kModes[] = {{"Rtu", 0, "rtu"}, {"Ascii", 1, "ascii"}};

class SlaveMasterTest : public ::testing::TestWithParam<ModeCase> {
protected:
    // Starts the slave in this test's mode with the extra arguments and opens the master on
    // it as COM3.
    void StartAndOpen(std::vector<std::string> args, std::uint32_t timeoutMs = 1000) {
        args.insert(args.begin(), {"--mode", GetParam().slaveMode});
        ASSERT_TRUE(slave.Start(args));
        ASSERT_EQ(::setenv("VORNAK_COM3", slave.Path().c_str(), 1), 0);
        Configure(master, timeoutMs);
        ASSERT_TRUE(master.Open(kPort, 9600, 0)) << "errno " << master.GetLastPortError();
        ASSERT_EQ(master.GetPortDevice(), slave.Path());
    }

    void Configure(CLocalModbus& m, std::uint32_t timeoutMs) const {
        m.SetMode(GetParam().mode);
        m.SetTimeout(timeoutMs);
        m.SetDataBits(8);
        m.SetStopBits(kStopBitsOne);
    }

    bool IsAscii() const { return GetParam().mode == 1; }

    CSlaveProcess slave;
    CLocalModbus master;
};

TEST_P(SlaveMasterTest, WrittenRegistersReadBackAndTheRequestIsExact) {
    StartAndOpen({});
    WordArray values(8, 0xEEEE);
    ASSERT_EQ(master.ReadHoldingRegisters(1, 0, 8, values), kModbusOk);
    EXPECT_EQ(values, WordArray(8, 0));
    const std::string expected =
        IsAscii() ? " rx 01 03 00 00 00 08 F4 \"010300000008F4\"" : " rx 01 03 00 00 00 08 44 0C";
    ASSERT_TRUE(slave.WaitForLines(IsFrame("tx"), 1, 2s));
    ASSERT_FALSE(slave.Lines().empty());
    EXPECT_EQ(slave.Lines().front().substr(12), expected);

    EXPECT_EQ(master.PresetSingleRegister(1, 100, 0x1234), kModbusOk);
    EXPECT_EQ(master.PresetSingleRegister(1, 101, 0xFFFF), kModbusOk);
    EXPECT_EQ(master.PresetSingleRegister(1, 224, 7), kModbusOk);
    WordArray block(125, 0xEEEE);
    ASSERT_EQ(master.ReadHoldingRegisters(1, 100, 125, block), kModbusOk);
    WordArray want(125, 0);
    want[0] = 0x1234;
    want[1] = 0xFFFF;
    want[124] = 7;
    EXPECT_EQ(block, want);
}

TEST_P(SlaveMasterTest, InputRegistersShowLife) {
    StartAndOpen({});
    WordArray first(10, 0);
    ASSERT_EQ(master.ReadInputRegisters(1, 20, 10, first), kModbusOk);
    for (std::size_t i = 1; i < first.size(); ++i) {
        EXPECT_EQ(first[i], static_cast<std::uint16_t>(first[0] + i)) << i;
    }
    std::this_thread::sleep_for(300ms);
    WordArray later(10, 0);
    ASSERT_EQ(master.ReadInputRegisters(1, 20, 10, later), kModbusOk);
    EXPECT_NE(later[0], first[0]);
}

TEST_P(SlaveMasterTest, CoilsAndDiscreteInputs) {
    StartAndOpen({});
    EXPECT_EQ(master.PresetSingleCoil(1, 5, 1), kModbusOk);
    EXPECT_EQ(master.PresetSingleCoil(1, 9, 1), kModbusOk);
    EXPECT_EQ(master.PresetSingleCoil(1, 7, 1), kModbusOk);
    EXPECT_EQ(master.PresetSingleCoil(1, 7, 0), kModbusOk);
    ByteArray states(12, 0xEE);
    ASSERT_EQ(master.ReadCoils(1, 0, 12, states), kModbusOk);
    ByteArray want(12, 0);
    want[5] = 1;
    want[9] = 1;
    EXPECT_EQ(states, want);

    ByteArray inputs(16, 0xEE);
    ASSERT_EQ(master.ReadDiscreteInputs(1, 0, 16, inputs), kModbusOk);
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        ASSERT_LE(inputs[i], 1) << i;
        if (i > 0) {
            EXPECT_NE(inputs[i], inputs[i - 1]) << i;
        }
    }
}

TEST_P(SlaveMasterTest, ExceptionsComeBackAsCodes) {
    StartAndOpen({"--size", "100"});
    WordArray values(10, 0);
    EXPECT_EQ(master.ReadHoldingRegisters(1, 90, 10, values), kModbusOk);
    EXPECT_EQ(master.ReadHoldingRegisters(1, 95, 10, values), kModbusException + 2);
    EXPECT_EQ(master.ReadInputRegisters(1, 100, 1, values), kModbusException + 2);
    EXPECT_EQ(master.PresetSingleRegister(1, 100, 1), kModbusException + 2);
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 0, values), kModbusException + 3);

    // A function the slave does not know, sent as a bare exchange.
    ByteArray request{0x01, 0x2B, 0x00, 0x00, 0x00, 0x01};
    ByteArray response;
    EXPECT_EQ(master.Transact(request, 6, response, 0, nullptr), kModbusException + 1);
}

// The longest writes in each framing; broadcasts are WriteMultiple's and vornak-poll's.
TEST_P(SlaveMasterTest, WriteMultipleReadsBack) {
    StartAndOpen({"--size", "2000"});
    WordArray values(123);
    std::iota(values.begin(), values.end(), std::uint16_t{0x100});
    EXPECT_EQ(master.PresetMultipleRegisters(1, 77, values), kModbusOk);
    WordArray back(123, 0);
    ASSERT_EQ(master.ReadHoldingRegisters(1, 77, 123, back), kModbusOk);
    EXPECT_EQ(back, values);
    ByteArray coils(1968);
    for (std::size_t i = 0; i < coils.size(); ++i) {
        coils[i] = i % 3 == 0 ? 1 : 0;
    }
    EXPECT_EQ(master.ForceMultipleCoils(1, 5, coils), kModbusOk);
    ByteArray states(1968, 7);
    ASSERT_EQ(master.ReadCoils(1, 5, 1968, states), kModbusOk);
    EXPECT_EQ(states, coils);
}

TEST_P(SlaveMasterTest, AnotherSlaveAddressTimesOut) {
    StartAndOpen({"--id", "4"}, 250);
    WordArray values(1, 0);
    const Stopwatch watch;
    EXPECT_EQ(master.ReadHoldingRegisters(5, 0, 1, values), kModbusTimeout);
    EXPECT_LT(watch.Ms(), 250 + 2000);
    EXPECT_TRUE(slave.WaitForLines(IsFrame("rx", "other id"), 1, 2s));
}

TEST_P(SlaveMasterTest, SilentSlaveTimesOut) {
    StartAndOpen({"--silent"}, 250);
    WordArray values(4, 0);
    const Stopwatch watch;
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 4, values), kModbusTimeout);
    EXPECT_LT(watch.Ms(), 250 + 2000);
    EXPECT_TRUE(slave.WaitForLines(IsFrame("rx", "silent"), 1, 2s));
}

TEST_P(SlaveMasterTest, CorruptCheckIsACrcError) {
    StartAndOpen({"--corrupt", "2"});
    WordArray values(4, 0);
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 4, values), kModbusOk);
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 4, values), kModbusCrcError);
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 4, values), kModbusOk);
    EXPECT_EQ(master.PresetSingleRegister(1, 0, 9), kModbusCrcError);
}

TEST_P(SlaveMasterTest, WrongAddressIsAnInvalidResponse) {
    StartAndOpen({"--wrong-id"});
    WordArray values(4, 0);
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 4, values), kModbusInvalidResponse);
    EXPECT_EQ(master.PresetSingleRegister(1, 0, 9), kModbusInvalidResponse);
}

TEST_P(SlaveMasterTest, AnswerLaterThanTheTimeOutIsATimeOut) {
    StartAndOpen({"--delay", "700"}, 250);
    WordArray values(4, 0);
    const Stopwatch watch;
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 4, values), kModbusTimeout);
    EXPECT_LT(watch.Ms(), 250 + 2000);
}

TEST_P(SlaveMasterTest, AbortCutsAWaitingExchangeShort) {
    StartAndOpen({"--silent"}, 5000);
    WordArray values(4, 0);
    std::thread aborter([this] {
        std::this_thread::sleep_for(200ms);
        master.AbortExchanges();
    });
    const Stopwatch watch;
    const std::uint16_t code = master.ReadHoldingRegisters(1, 0, 4, values);
    const long long ms = watch.Ms();
    aborter.join();
    EXPECT_NE(code, kModbusOk);
    EXPECT_LT(ms, 3000) << "the read waited out most of its 5 s time-out";
    // Every later exchange fails at once until the next Open.
    const Stopwatch again;
    EXPECT_NE(master.ReadHoldingRegisters(1, 0, 4, values), kModbusOk);
    EXPECT_LT(again.Ms(), 3000);
}

TEST_P(SlaveMasterTest, VanishedDeviceFailsAtOnce) {
    StartAndOpen({}, 3000);
    WordArray values(4, 0);
    ASSERT_EQ(master.ReadHoldingRegisters(1, 0, 4, values), kModbusOk);
    EXPECT_EQ(slave.Stop(SIGKILL), 128 + SIGKILL);
    for (int i = 0; i < 2; ++i) {
        const Stopwatch watch;
        const std::uint16_t code = master.ReadHoldingRegisters(1, 0, 4, values);
        EXPECT_NE(code, kModbusOk) << i;
        EXPECT_NE(code, kModbusTimeout) << "a vanished line is not a silent slave";
        EXPECT_LT(watch.Ms(), 1500) << i;
    }
}

TEST_P(SlaveMasterTest, ReopeningTheLineKeepsItWorking) {
    StartAndOpen({});
    WordArray values(2, 0);
    EXPECT_EQ(master.PresetSingleRegister(1, 1, 77), kModbusOk);
    ASSERT_TRUE(master.Close());
    EXPECT_FALSE(master.IsPortOpen());
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 2, values), kModbusPortNotOpen);
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(master.Open(kPort, 9600, 0)) << i;
        values.assign(2, 0);
        EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 2, values), kModbusOk) << i;
        EXPECT_EQ(values, (WordArray{0, 77})) << i;
    }
}

TEST_P(SlaveMasterTest, SecondOpenOfAHeldPortFails) {
    StartAndOpen({});
    CLocalModbus second;
    Configure(second, 300);
    EXPECT_FALSE(second.Open(kPort, 9600, 0));
    EXPECT_FALSE(second.IsPortOpen());
    EXPECT_NE(second.GetLastPortError(), 0);
    EXPECT_EQ(second.GetPortDevice(), slave.Path());
    WordArray values(1, 0);
    EXPECT_EQ(second.ReadHoldingRegisters(1, 0, 1, values), kModbusPortNotOpen);
    // The first master keeps the line.
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 1, values), kModbusOk);
    // Once it lets go, the second gets it.
    ASSERT_TRUE(master.Close());
    EXPECT_TRUE(second.Open(kPort, 9600, 0)) << "errno " << second.GetLastPortError();
    EXPECT_EQ(second.ReadHoldingRegisters(1, 0, 1, values), kModbusOk);
}

INSTANTIATE_TEST_SUITE_P(Modes, SlaveMasterTest, ::testing::ValuesIn(kModes),
                         [](const ::testing::TestParamInfo<ModeCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
