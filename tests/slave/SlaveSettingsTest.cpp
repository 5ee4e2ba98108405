// The simulator hears a master only at its own line settings and in its own framing, as a
// real slave would; a master may switch settings between two requests.

#include <gtest/gtest.h>

#include "SlaveProcess.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

const Bytes kReadOne{0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A};
const Bytes kAnswer{0x01, 0x03, 0x02, 0x00, 0x00, 0xB8, 0x44};

TEST(SlaveSettings, AnswersOnlyAMasterAtItsOwnRateAndStopBits) {
    struct Step {
        int baud, stopBits;
        const char* note;  // "" when answered
    };
    const Step steps[] = {
        {9600, 1, ""},
        {19200, 1, "line settings differ: master at 19200 bit/s, 1 stop bit"},
        {9600, 2, "line settings differ: master at 9600 bit/s, 2 stop bits"},
        {9600, 1, ""},
    };
    for (const bool any : {false, true}) {
        CSlaveProcess slave;
        ASSERT_TRUE(slave.Start(any ? std::vector<std::string>{"--any-settings"}
                                    : std::vector<std::string>{}));
        CRawLine line(slave.Path());
        ASSERT_TRUE(line.Ok());
        for (const Step& step : steps) {
            SCOPED_TRACE(::testing::Message() << any << " " << step.baud << " " << step.stopBits);
            ASSERT_TRUE(line.SetLine(step.baud, step.stopBits));
            line.Send(kReadOne);
            if (any || *step.note == '\0') {
                EXPECT_EQ(line.Receive(7, 2s), kAnswer);
            } else {
                EXPECT_TRUE(slave.WaitForLines(IsFrame("rx", step.note), 1, 2s));
                EXPECT_TRUE(line.Receive(1, 300ms).empty());
            }
        }
    }
}

TEST(SlaveSettings, EachFramingIgnoresTheOther) {
    const std::string ascii = ":010300000001FB\r\n";
    for (const bool rtu : {true, false}) {
        SCOPED_TRACE(rtu ? "rtu" : "ascii");
        CSlaveProcess slave;
        ASSERT_TRUE(slave.Start({"--mode", rtu ? "rtu" : "ascii"}));
        CRawLine line(slave.Path());
        ASSERT_TRUE(line.Ok());
        if (rtu) {
            line.Send(ascii);
        } else {
            line.Send(kReadOne);
        }
        EXPECT_TRUE(line.Receive(1, 300ms).empty());
        if (rtu) {
            line.Send(kReadOne);
            EXPECT_EQ(line.Receive(7, 2s), kAnswer);
        } else {
            line.Send(ascii);
            EXPECT_EQ(line.Receive(15, 2s).size(), 15u);
        }
    }
}

}  // namespace
