// The master through its line options against the simulator behaving like real hardware: an
// adapter that echoes, a USB latency timer, a line paced at its bit rate.

#include <signal.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "SlaveProcess.h"
#include "modbus/LocalModbus.h"

namespace {

using namespace std::chrono_literals;

constexpr std::uint8_t kPort = 5;

// One slave with the arguments and the master opened on it as COM5 with the device options.
struct Line {
    CSlaveProcess slave;
    CLocalModbus master;

    ::testing::AssertionResult Open(std::uint16_t mode, std::vector<std::string> args,
                                    const std::string& options, std::uint32_t baud = 9600,
                                    std::uint32_t charInterval = 0) {
        args.insert(args.begin(),
                    {"--mode", mode == 0 ? "rtu" : "ascii", "--baud", std::to_string(baud)});
        if (!slave.Start(args)) {
            return ::testing::AssertionFailure() << "the slave did not start";
        }
        ::setenv("VORNAK_COM5", (slave.Path() + options).c_str(), 1);
        master.SetMode(mode);
        master.SetTimeout(500);
        master.SetCharInterval(charInterval);
        if (!master.Open(kPort, baud, 0)) {
            return ::testing::AssertionFailure() << master.GetPortErrorText();
        }
        return ::testing::AssertionSuccess();
    }
    std::uint16_t Read(std::uint16_t quantity) {
        WordArray values(quantity, 0);
        return master.ReadHoldingRegisters(1, 0, quantity, values);
    }
};

TEST(LineSimulatorTest, EchoingLineNeedsTheEchoOption) {
    struct Case {
        const char* options;
        bool silent;
        bool write;
        std::uint16_t code;
    };
    const Case cases[] = {
        {"?echo", false, false, kModbusOk},
        {"?echo", false, true, kModbusOk},
        // The echo of a write request looks like its answer: only the option tells them apart.
        {"?echo", true, true, kModbusTimeout},
        {"", false, false, kModbusCrcError},
    };
    for (const std::uint16_t mode : {0, 1}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(mode == 0 ? "RTU" : "ASCII") + " '" + c.options + "'" +
                         (c.silent ? " silent" : "") + (c.write ? " write" : " read"));
            Line line;
            std::vector<std::string> args{"--echo"};
            if (c.silent) {
                args.push_back("--silent");
            }
            ASSERT_TRUE(line.Open(mode, args, c.options));
            const std::uint16_t code =
                c.write ? line.master.PresetSingleRegister(1, 3, 0x1234) : line.Read(10);
            EXPECT_EQ(code, c.code);
        }
    }
}

TEST(LineSimulatorTest, LatencyTimerBurstsCutAnAnswerOnlyBelowTheirGap) {
    struct Case {
        std::uint16_t mode;
        std::uint32_t charInterval;
        std::uint16_t code;
    };
    const Case cases[] = {
        {0, 5, kModbusCrcError}, {0, 20, kModbusOk}, {1, 5, kModbusCrcError}, {1, 20, kModbusOk}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.mode == 0 ? "RTU" : "ASCII") + " interval " +
                     std::to_string(c.charInterval));
        Line line;
        ASSERT_TRUE(line.Open(c.mode, {"--pace", "--burst", "16"}, "", 115200, c.charInterval));
        EXPECT_EQ(line.Read(125), c.code);
    }
}

TEST(LineSimulatorTest, PacedExchangeTakesTheWireTime) {
    Line line;
    // A character interval well above the 5 ms floor: a busy machine may hold the simulator
    // back for a few milliseconds between two characters.
    ASSERT_TRUE(line.Open(0, {"--pace"}, "", 9600, 20));
    // 8 request and 255 answer characters of 10 bits at 9600 bit/s, then the silences.
    const long long wireMs = 263 * 10 * 1000 / 9600;
    const Stopwatch watch;
    ASSERT_EQ(line.Read(125), kModbusOk);
    const long long ms = watch.Ms();
    EXPECT_GE(ms, wireMs);
    EXPECT_LT(ms, wireMs + 200);
}

}  // namespace
