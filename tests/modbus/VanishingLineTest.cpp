// The master on a pseudo-terminal whose far end goes away, as an unplugged USB adapter does:
// each exchange fails at once with a code, nothing spins on the hung-up line, and the master
// opens the device again when it is back. A second master on the same device is refused.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <thread>

#include "protocol/Crc16.h"
#include "modbus/LocalModbus.h"
#include "tests/lines/PtyPair.h"
#include "tests/support/ProcessCpu.h"

namespace {

constexpr std::uint8_t kPort = 6;

// The far end's answer to a read of one holding register holding 0x1234.
std::vector<std::uint8_t> Answer(std::uint16_t mode) {
    if (mode == 1) {
        const std::string text = ":0103021234B4\r\n";
        return {text.begin(), text.end()};
    }
    return {0x01, 0x03, 0x02, 0x12, 0x34, 0xB5, 0x33};
}

std::size_t RequestSize(std::uint16_t mode) {
    return mode == 1 ? 17 : 8;
}

class VanishingLineTest : public ::testing::TestWithParam<std::uint16_t> {
protected:
    void SetUp() override { ASSERT_TRUE(OpenOn(*pty)); }
    void TearDown() override { ::unsetenv("VORNAK_COM6"); }

    bool OpenOn(const PtyPair& line) {
        ::setenv("VORNAK_COM6", line.Path().c_str(), 1);
        master.SetMode(GetParam());
        master.SetTimeout(2000);  // long, so that a wait on the dead line would show
        master.SetCharInterval(5);
        return line.Ok() && master.Open(kPort, 9600, 0);
    }

    // One read with the far end answering from a thread, or hanging up instead.
    std::uint16_t ReadWithFarEnd(PtyPair& line, bool hangUp) {
        std::thread farEnd([&] {
            line.Receive(RequestSize(GetParam()), 3000);
            if (hangUp) {
                // Once the master waits for the answer, not while it drains its request.
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                line.CloseMaster();
            } else {
                line.Send(Answer(GetParam()));
            }
        });
        const std::uint16_t code = master.ReadHoldingRegisters(1, 0, 1, values);
        farEnd.join();
        return code;
    }

    std::unique_ptr<PtyPair> pty = std::make_unique<PtyPair>();
    CLocalModbus master;
    WordArray values = WordArray(1);
};

}  // namespace

TEST_P(VanishingLineTest, HangUpDuringTheWaitFailsAtOnceWithoutSpinning) {
    ASSERT_EQ(ReadWithFarEnd(*pty, false), kModbusOk);
    EXPECT_EQ(values, WordArray{0x1234});

    const long long cpu = ProcessCpuMs();
    Stopwatch sw;
    EXPECT_EQ(ReadWithFarEnd(*pty, true), kModbusReadError);
    EXPECT_LT(sw.Ms(), 1500) << "the hang-up ends the wait, not the 2 s time-out";
    EXPECT_FALSE(master.IsPortOpen()) << "the gone device is let go";

    // Every later cycle fails at once with its code and costs next to nothing.
    Stopwatch cycles;
    for (int i = 0; i < 200; ++i) {
        values = {7};
        EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 1, values), kModbusPortNotOpen);
        EXPECT_EQ(values, WordArray{0});
    }
    EXPECT_LT(cycles.Ms(), 500);
    EXPECT_LT(ProcessCpuMs() - cpu, 300);
}

TEST_P(VanishingLineTest, HangUpWhileIdleFailsTheNextWriteThenLetsGo) {
    pty->CloseMaster();
    const long long cpu = ProcessCpuMs();
    Stopwatch sw;
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 1, values), kModbusWriteError);
    EXPECT_FALSE(master.IsPortOpen());
    EXPECT_EQ(master.PresetSingleRegister(1, 0, 1), kModbusPortNotOpen);
    EXPECT_LT(sw.Ms(), 1000);
    EXPECT_LT(ProcessCpuMs() - cpu, 200);
}

TEST_P(VanishingLineTest, TheDeviceBackMeansTheNextOpenWorks) {
    pty->CloseMaster();
    EXPECT_NE(master.ReadHoldingRegisters(1, 0, 1, values), kModbusOk);
    ASSERT_FALSE(master.IsPortOpen());
    EXPECT_FALSE(master.Open(kPort, 9600, 0)) << "the old device is gone for good";

    pty = std::make_unique<PtyPair>();  // the adapter is back, here under a new name
    ASSERT_TRUE(OpenOn(*pty)) << "errno " << master.GetLastPortError();
    EXPECT_EQ(ReadWithFarEnd(*pty, false), kModbusOk);
    EXPECT_EQ(values, WordArray{0x1234});
}

TEST_P(VanishingLineTest, ASecondMasterOnTheSameDeviceIsRefusedAsBusy) {
    CLocalModbus second;
    EXPECT_FALSE(second.Open(kPort, 9600, 0));
    EXPECT_EQ(second.GetLastPortError(), EBUSY);
    EXPECT_EQ(second.GetPortDevice(), pty->Path());
    EXPECT_FALSE(second.IsPortOpen());
    EXPECT_EQ(ReadWithFarEnd(*pty, false), kModbusOk) << "the first one is undisturbed";
}

INSTANTIATE_TEST_SUITE_P(Modes, VanishingLineTest, ::testing::Values(0, 1),
                         [](const auto& info) { return info.param == 0 ? "Rtu" : "Ascii"; });
