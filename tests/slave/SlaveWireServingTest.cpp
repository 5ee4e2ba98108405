// The built simulator on a pseudo-terminal serving the functions beyond the four tables: its
// options reach the data, and the diagnostics count what really crossed the line.

#include <gtest/gtest.h>

#include <map>

#include "SlaveProcess.h"
#include "protocol/AsciiCodec.h"
#include "protocol/RtuCodec.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

// A message and the answer message expected for it, each with its CRC on the wire.
struct Exchange {
    Bytes request;
    Bytes answer;           // empty: none within 300 ms
    const char* note = "";  // the rx line's note in the log
};

void Play(CSlaveProcess& slave, CRawLine& line, const std::vector<Exchange>& exchanges) {
    // The rx lines of each note so far, those before the exchanges included.
    std::map<std::string, std::size_t> heard;
    for (const std::string& logged : slave.Lines()) {
        if (const auto parsed = ParseSlaveLogLine(logged); parsed && parsed->direction == "rx") {
            ++heard[parsed->note];
        }
    }
    for (const Exchange& e : exchanges) {
        SCOPED_TRACE(::testing::PrintToString(e.request));
        line.Send(protocol::RtuWrap(e.request));
        if (e.answer.empty()) {
            EXPECT_TRUE(line.Receive(1, 300ms).empty());
        } else {
            const Bytes want = protocol::RtuWrap(e.answer);
            EXPECT_EQ(line.Receive(want.size(), 2s), want);
        }
        EXPECT_TRUE(slave.WaitForLines(IsFrame("rx", e.note), ++heard[e.note], 2s)) << e.note;
    }
}

TEST(SlaveWireServing, OptionsShapeTheFifoAndTheFiles) {
    CSlaveProcess slave;
    ASSERT_TRUE(slave.Start(
        {"--fifo-size", "2", "--fifo-address", "100", "--files", "1", "--records", "10"}));
    CRawLine line(slave.Path());
    ASSERT_TRUE(line.Ok());
    Play(slave, line,
         {
             {{1, 24, 0, 100}, {1, 24, 0, 6, 0, 2, 0xF0, 0x00, 0xF0, 0x01}},
             {{1, 24, 0, 0}, {1, 0x98, 2}},
             {{1, 20, 7, 6, 0, 1, 0, 9, 0, 1}, {1, 20, 4, 3, 6, 0x01, 0x09}},
             {{1, 20, 7, 6, 0, 1, 0, 10, 0, 1}, {1, 0x94, 2}},
             {{1, 20, 7, 6, 0, 2, 0, 0, 0, 1}, {1, 0x94, 2}},
         });
}

TEST(SlaveWireServing, CountersHearBadChecksOtherIdsAndListenOnly) {
    CSlaveProcess slave;
    ASSERT_TRUE(slave.Start({"--id", "1"}));
    CRawLine line(slave.Path());
    ASSERT_TRUE(line.Ok());
    line.Send(Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0B});
    ASSERT_TRUE(slave.WaitForLines(IsFrame("rx", "bad crc"), 1, 2s));
    line.Send(protocol::RtuWrap(Bytes{2, 3, 0, 0, 0, 1}));
    ASSERT_TRUE(slave.WaitForLines(IsFrame("rx", "other id"), 1, 2s));
    Play(slave, line,
         {
             {{1, 8, 0, 12, 0, 0}, {1, 8, 0, 12, 0, 1}},  // the bad CRC
             {{1, 8, 0, 11, 0, 0}, {1, 8, 0, 11, 0, 3}},  // the other id, 8/12 and this one
             {{1, 3, 0, 0, 0, 0}, {1, 0x83, 3}},
             {{1, 8, 0, 13, 0, 0}, {1, 8, 0, 13, 0, 1}},
             {{1, 8, 0, 4, 0, 0}, {}, "listen only"},
             {{1, 3, 0, 0, 0, 1}, {}, "listen only"},
             {{1, 8, 0, 1, 0, 0}, {}, "listen only"},
             {{1, 3, 0, 0, 0, 1}, {1, 3, 2, 0, 0}},
             {{1, 8, 0, 14, 0, 0}, {1, 8, 0, 14, 0, 2}},  // since the restart
         });
}

TEST(SlaveWireServing, AsciiFramingCountsABadLrc) {
    CSlaveProcess slave;
    ASSERT_TRUE(slave.Start({"--mode", "ascii"}));
    CRawLine line(slave.Path());
    ASSERT_TRUE(line.Ok());
    line.Send(std::string(":010300000001FC\r\n"));
    ASSERT_TRUE(slave.WaitForLines(IsFrame("rx", "bad lrc"), 1, 2s));
    const Bytes request = protocol::AsciiWrap(Bytes{1, 8, 0, 12, 0, 0});
    line.Send(request);
    const Bytes want = protocol::AsciiWrap(Bytes{1, 8, 0, 12, 0, 1});
    EXPECT_EQ(line.Receive(want.size(), 2s), want);
}

}  // namespace
