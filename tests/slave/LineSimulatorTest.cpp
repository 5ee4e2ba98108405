// The master through its line options against the simulator behaving like real hardware: an
// adapter that echoes, a USB latency timer, a line paced at its bit rate.

#include <gtest/gtest.h>

#include <cstdlib>

#include "SlaveProcess.h"
#include "modbus/LocalModbus.h"

namespace {

TEST(LineSimulatorTest, EchoBurstsAndPaceEndInTheirCodesAndTimes) {
    struct Case {
        std::vector<std::string> args;
        const char* options;
        std::uint32_t baud, charInterval;
        bool write, paced;
        std::uint16_t code;
    };
    const Case cases[] = {
        {{"--echo"}, "?echo", 9600, 0, false, false, kModbusOk},
        {{"--echo"}, "", 9600, 0, false, false, kModbusCrcError},
        // The echo of a write request looks like its answer: only the option tells them apart.
        {{"--echo", "--silent"}, "?echo", 9600, 0, true, false, kModbusTimeout},
        // The latency timer's 16 ms gaps end an answer only where the interval is below them.
        {{"--pace", "--burst", "16"}, "", 115200, 5, false, false, kModbusCrcError},
        {{"--pace", "--burst", "16"}, "", 115200, 20, false, false, kModbusOk},
        // An interval well above the 5 ms floor: a busy machine may hold the simulator back for
        // a few milliseconds between two characters.
        {{"--pace"}, "", 9600, 20, false, true, kModbusOk},
    };
    for (const std::uint16_t mode : {0, 1}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(::testing::Message() << "mode " << mode << ", row " << &c - cases);
            std::vector<std::string> args{"--mode", mode == 0 ? "rtu" : "ascii", "--baud",
                                          std::to_string(c.baud)};
            args.insert(args.end(), c.args.begin(), c.args.end());
            CSlaveProcess slave;
            ASSERT_TRUE(slave.Start(args));
            ::setenv("VORNAK_COM5", (slave.Path() + c.options).c_str(), 1);
            CLocalModbus master;
            master.SetMode(mode);
            master.SetTimeout(500);
            master.SetCharInterval(c.charInterval);
            ASSERT_TRUE(master.Open(5, c.baud, 0)) << master.GetPortErrorText();
            WordArray values(125, 0);
            const Stopwatch watch;
            EXPECT_EQ(c.write ? master.PresetSingleRegister(1, 3, 0x1234)
                              : master.ReadHoldingRegisters(1, 0, 125, values),
                      c.code);
            if (c.paced) {
                // The request's and the answer's characters of 10 bits, then the silences.
                const long long wireMs = (mode == 0 ? 8 + 255 : 17 + 511) * 10 * 1000 / c.baud;
                EXPECT_GE(watch.Ms(), wireMs - 2);  // whole milliseconds on two clocks
                EXPECT_LT(watch.Ms(), wireMs + 200);
            }
        }
    }
}

}  // namespace
