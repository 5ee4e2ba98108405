// The simulator's tap seen by a monitor: both directions in the order they cross the line, at
// their wire times when paced, and a tap nobody reads never holds the slave back.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>

#include "SlaveProcess.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using Args = std::vector<std::string>;

const std::string kTap = ::testing::TempDir() + "vornak-tap-" + std::to_string(::getpid());

TEST(SlaveTap, HearsTheRequestThenTheAnswerOnceInBothFramings) {
    // RTU with an echo, which only the master's adapter hears; ASCII without.
    const std::string rtu("\x01\x03\x00\x00\x00\x01\x84\x0A\x01\x03\x02\x00\x00\xB8\x44", 15);
    const std::string ascii = ":010300000001FB\r\n:0103020000FA\r\n";
    for (const bool isRtu : {true, false}) {
        const std::string& both = isRtu ? rtu : ascii;
        CSlaveProcess slave;
        ASSERT_TRUE(slave.Start(isRtu ? Args{"--tap", kTap, "--echo"}
                                      : Args{"--tap", kTap, "--mode", "ascii"}));
        CRawLine tap(kTap);
        CRawLine line(slave.Path());
        line.Send(both.substr(0, isRtu ? 8 : 17));
        EXPECT_EQ(line.Receive(15, 2s).size(), 15u);  // RTU: echo and answer
        EXPECT_EQ(tap.Receive(both.size() + 1, 500ms), Bytes(both.begin(), both.end()));
        EXPECT_EQ(slave.Stop(SIGTERM), 0);
        struct stat st {};
        EXPECT_NE(::lstat(kTap.c_str(), &st), 0) << "the tap's link was left behind";
    }
    std::ofstream(kTap) << "a file, not a link";
    EXPECT_EQ(RunSlaveToEnd({"--tap", kTap}).status, 1);
    EXPECT_EQ(::unlink(kTap.c_str()), 0);
}

TEST(SlaveTap, PacedBytesReachItAtTheirWireTimesNotTheMastersBursts) {
    // 125 registers at 1200 bit/s: 255 answer bytes of 8.3 ms, 2.1 s on the wire. A tap that
    // followed the master's 1000 ms bursts would hear them in one or two lumps.
    const Bytes request{0x01, 0x03, 0x00, 0x00, 0x00, 0x7D, 0x85, 0xEB};
    for (const char* burst : {"16", "1000"}) {
        SCOPED_TRACE(burst);
        CSlaveProcess slave;
        ASSERT_TRUE(slave.Start({"--tap", kTap, "--pace", "--baud", "1200", "--burst", burst}));
        CRawLine tap(kTap);
        CRawLine line(slave.Path());
        line.Send(request);
        EXPECT_EQ(tap.Receive(request.size() + 1, 3s).size(), request.size() + 1);
        const Stopwatch watch;
        EXPECT_EQ(tap.Receive(127, 5s).size(), 127u);
        EXPECT_GT(watch.Ms(), 700) << "the first half of the answer came too soon";
        EXPECT_EQ(tap.Receive(127, 5s).size(), 127u);
        EXPECT_GT(watch.Ms(), 1700);
        EXPECT_LT(watch.Ms(), 3500);
        EXPECT_EQ(line.Receive(255, 4s).size(), 255u);
    }
}

TEST(SlaveTap, NobodyReadingItNeverStopsTheAnswers) {
    // 528 bytes an exchange fill the tap's queue and its pseudo-terminal.
    CSlaveProcess slave;
    ASSERT_TRUE(slave.Start({"--mode", "ascii", "--tap", kTap}));
    CRawLine line(slave.Path());
    const auto full = [](const std::string& log) { return log.find(" tap (full)") != log.npos; };
    for (int i = 0; i < 400 && !slave.WaitForLines(full, 1, 0ms); ++i) {
        line.Send(":01030000007D7F\r\n");
        ASSERT_EQ(line.Receive(511, 2s).size(), 511u) << "exchange " << i;
    }
    EXPECT_TRUE(slave.WaitForLines(full, 1, 0ms));
}

}  // namespace
