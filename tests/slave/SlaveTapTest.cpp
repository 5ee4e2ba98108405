// The simulator's tap seen by a monitor: both directions in the order they cross the line, at
// their wire times when paced, and a tap nobody reads never holds the slave back.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "SlaveProcess.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

std::string TapPath(const char* name) {
    return ::testing::TempDir() + "vornak-tap-" + name + "-" + std::to_string(::getpid());
}

Bytes Join(const std::string& a, const std::string& b) {
    Bytes joined(a.begin(), a.end());
    joined.insert(joined.end(), b.begin(), b.end());
    return joined;
}

TEST(SlaveTap, HearsEachRequestThenItsAnswerOnceInBothFramings) {
    const std::string rtuRequest("\x01\x03\x00\x00\x00\x01\x84\x0A", 8);
    const std::string rtuAnswer("\x01\x03\x02\x00\x00\xB8\x44", 7);
    const std::string asciiRequest = ":010300000001FB\r\n";
    const std::string asciiAnswer = ":0103020000FA\r\n";
    struct Case {
        std::vector<std::string> args;
        std::string request, answer;
        bool echo;
    };
    const Case cases[] = {
        {{}, rtuRequest, rtuAnswer, false},
        {{"--echo"}, rtuRequest, rtuAnswer, true},
        {{"--mode", "ascii"}, asciiRequest, asciiAnswer, false},
        {{"--mode", "ascii", "--echo"}, asciiRequest, asciiAnswer, true},
    };
    const std::string path = TapPath("order");
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "row " << &c - cases);
        CSlaveProcess slave;
        std::vector<std::string> args{"--tap", path};
        args.insert(args.end(), c.args.begin(), c.args.end());
        ASSERT_TRUE(slave.Start(args));
        CRawLine tap(path);
        CRawLine line(slave.Path());
        ASSERT_TRUE(tap.Ok() && line.Ok());
        for (int i = 0; i < 2; ++i) {
            line.Send(c.request);
            const Bytes heard = line.Receive((c.echo ? c.request.size() : 0) + c.answer.size(), 2s);
            EXPECT_EQ(heard, c.echo ? Join(c.request, c.answer) : Join("", c.answer));
            EXPECT_EQ(tap.Receive(c.request.size() + c.answer.size(), 2s),
                      Join(c.request, c.answer));
        }
        EXPECT_TRUE(tap.Receive(1, 200ms).empty());
        EXPECT_EQ(slave.Stop(SIGTERM), 0);
        struct stat st {};
        EXPECT_NE(::lstat(path.c_str(), &st), 0) << "the tap's link was left behind";
    }
}

TEST(SlaveTap, PacedBytesReachItAtTheirWireTimesNotTheMastersBursts) {
    // 125 registers at 1200 bit/s: 255 answer bytes of 8.3 ms, 2.1 s on the wire. A tap that
    // followed the master's 1000 ms bursts would hear them in one or two lumps.
    const Bytes request{0x01, 0x03, 0x00, 0x00, 0x00, 0x7D, 0x85, 0xEB};
    const std::string path = TapPath("paced");
    for (const char* burst : {"", "16", "1000"}) {
        SCOPED_TRACE(burst);
        std::vector<std::string> args{"--tap", path, "--pace", "--baud", "1200"};
        if (*burst != '\0') {
            args.insert(args.end(), {"--burst", burst});
        }
        CSlaveProcess slave;
        ASSERT_TRUE(slave.Start(args));
        CRawLine tap(path);
        CRawLine line(slave.Path());
        ASSERT_TRUE(tap.Ok() && line.Ok());
        line.Send(request);
        EXPECT_EQ(tap.Receive(request.size(), 3s), request);
        ASSERT_EQ(tap.Receive(1, 3s).size(), 1u);
        const Stopwatch watch;
        EXPECT_EQ(tap.Receive(127, 5s).size(), 127u);
        const long long half = watch.Ms();
        EXPECT_EQ(tap.Receive(127, 5s).size(), 127u);
        const long long all = watch.Ms();
        EXPECT_GT(half, 700) << "the first half of the answer came in " << half << " ms";
        EXPECT_GT(all, 1700) << "the answer came in " << all << " ms";
        EXPECT_LT(all, 3500);
        EXPECT_EQ(line.Receive(255, 4s).size(), 255u);
    }
}

TEST(SlaveTap, NobodyReadingItNeverStopsTheAnswers) {
    // Each exchange puts 528 bytes to the tap: its queue and the pseudo-terminal fill up.
    CSlaveProcess slave;
    ASSERT_TRUE(slave.Start({"--mode", "ascii", "--tap", TapPath("unread")}));
    CRawLine line(slave.Path());
    ASSERT_TRUE(line.Ok());
    const auto full = [](const std::string& log) {
        return log.find(" tap (full)") != std::string::npos;
    };
    int exchanges = 0;
    for (; exchanges < 400 && !slave.WaitForLines(full, 1, 0ms); ++exchanges) {
        line.Send(":01030000007D7F\r\n");
        ASSERT_EQ(line.Receive(511, 2s).size(), 511u) << "exchange " << exchanges;
    }
    EXPECT_LT(exchanges, 400);
    line.Send(":01030000007D7F\r\n");
    EXPECT_EQ(line.Receive(511, 2s).size(), 511u);
}

}  // namespace
