// The simulator hears a master only at its own line settings and framing, as a real slave would.

#include <gtest/gtest.h>

#include "SlaveProcess.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

const Bytes kReadOne{0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A};
const std::string kAsciiText = ":010300000001FB\r\n";
const Bytes kAsciiReadOne(kAsciiText.begin(), kAsciiText.end());

TEST(SlaveSettings, AnswersOnlyAMasterAtItsOwnRateAndStopBits) {
    const std::tuple<int, int, const char*> steps[] = {
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
        for (const auto& [baud, stopBits, note] : steps) {
            SCOPED_TRACE(::testing::Message() << any << " " << baud << " " << stopBits);
            ASSERT_TRUE(line.SetLine(baud, stopBits));
            line.Send(kReadOne);
            const bool heard = any || *note == '\0';
            EXPECT_EQ(line.Receive(7, heard ? 2s : 300ms).size(), heard ? 7u : 0u);
            EXPECT_TRUE(heard || slave.WaitForLines(IsFrame("rx", note), 1, 2s));
        }
    }
}

TEST(SlaveSettings, EachFramingIgnoresTheOther) {
    for (const bool rtu : {true, false}) {
        CSlaveProcess slave;
        ASSERT_TRUE(slave.Start({"--mode", rtu ? "rtu" : "ascii"}));
        CRawLine line(slave.Path());
        line.Send(rtu ? kAsciiReadOne : kReadOne);
        EXPECT_TRUE(line.Receive(1, 300ms).empty()) << rtu;
        line.Send(rtu ? kReadOne : kAsciiReadOne);
        EXPECT_EQ(line.Receive(rtu ? 7 : 15, 2s).size(), rtu ? 7u : 15u) << rtu;
    }
}

}  // namespace
