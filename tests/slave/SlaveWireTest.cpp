// The simulator binary seen from the line: exact bytes on the wire, framing, faults, the log
// and the process's own behaviour. The test plays the master with raw bytes.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "SlaveProcess.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

const Bytes kReadOne{0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A};

TEST(SlaveWireRtu, AnswersWithExactBytesAndLogsBothFrames) {
    CSlaveProcess slave;
    ASSERT_TRUE(slave.Start({}));
    EXPECT_EQ(slave.FirstLine(),
              "vornak-slave: listening on " + slave.Path() + " (RTU, id 1, 9600 8N1)");
    CRawLine line(slave.Path());
    ASSERT_TRUE(line.Ok());

    line.Send(kReadOne);
    EXPECT_EQ(line.Receive(7, 2s), (Bytes{0x01, 0x03, 0x02, 0x00, 0x00, 0xB8, 0x44}));

    // Write 0x1234 to register 3, read registers 2..3 back.
    line.Send(Bytes{0x01, 0x06, 0x00, 0x03, 0x12, 0x34, 0x74, 0xBD});
    EXPECT_EQ(line.Receive(8, 2s), (Bytes{0x01, 0x06, 0x00, 0x03, 0x12, 0x34, 0x74, 0xBD}));
    line.Send(Bytes{0x01, 0x03, 0x00, 0x02, 0x00, 0x02, 0x65, 0xCB});
    EXPECT_EQ(line.Receive(9, 2s), (Bytes{0x01, 0x03, 0x04, 0x00, 0x00, 0x12, 0x34, 0xF7, 0x44}));
    // Exception answer: register 10000 is past the default size.
    line.Send(Bytes{0x01, 0x03, 0x27, 0x10, 0x00, 0x01, 0x8F, 0x7B});
    EXPECT_EQ(line.Receive(5, 2s), (Bytes{0x01, 0x83, 0x02, 0xC0, 0xF1}));

    ASSERT_TRUE(slave.WaitForLines(IsFrame("tx"), 4, 2s));
    const auto lines = slave.Lines();
    ASSERT_EQ(lines.size(), 8u);
    const auto rx = ParseSlaveLogLine(lines[0]);
    const auto tx = ParseSlaveLogLine(lines[1]);
    ASSERT_TRUE(rx && tx) << lines[0] << "\n" << lines[1];
    EXPECT_EQ(rx->direction, "rx");
    EXPECT_EQ(rx->bytes, kReadOne);
    EXPECT_EQ(lines[0].substr(12), " rx 01 03 00 00 00 01 84 0A");
    EXPECT_EQ(lines[1].substr(12), " tx 01 03 02 00 00 B8 44");
    EXPECT_EQ(lines[7].substr(12), " tx 01 83 02 C0 F1");
}

TEST(SlaveWireRtu, BadCrcOtherIdAndBroadcastGetNoAnswer) {
    CSlaveProcess slave;
    ASSERT_TRUE(slave.Start({"--id", "1"}));
    CRawLine line(slave.Path());
    ASSERT_TRUE(line.Ok());

    line.Send(Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0B});
    EXPECT_TRUE(slave.WaitForLines(IsFrame("rx", "bad crc"), 1, 2s));
    line.Send(Bytes{0x02, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x39});
    EXPECT_TRUE(slave.WaitForLines(IsFrame("rx", "other id"), 1, 2s));
    // Broadcast: register 0 becomes 0x00FF, without an answer.
    line.Send(Bytes{0x00, 0x06, 0x00, 0x00, 0x00, 0xFF, 0xC8, 0x5B});
    EXPECT_TRUE(slave.WaitForLines(IsFrame("rx", "broadcast"), 1, 2s));
    EXPECT_TRUE(line.Receive(1, 300ms).empty());

    line.Send(kReadOne);
    EXPECT_EQ(line.Receive(7, 2s), (Bytes{0x01, 0x03, 0x02, 0x00, 0xFF, 0xF8, 0x04}));
    EXPECT_FALSE(slave.WaitForLines(IsFrame("tx"), 2, 100ms));
}

TEST(SlaveWireRtu, EveryListedAddressAnswersAndNoOther) {
    CSlaveProcess slave;
    ASSERT_TRUE(slave.Start({"--id", "3,17", "--log"}));
    EXPECT_EQ(slave.FirstLine(),
              "vornak-slave: listening on " + slave.Path() + " (RTU, id 3,17, 9600 8N1)");
    CRawLine line(slave.Path());
    ASSERT_TRUE(line.Ok());

    line.Send(Bytes{0x11, 0x03, 0x00, 0x00, 0x00, 0x01, 0x86, 0x9A});
    EXPECT_EQ(line.Receive(7, 2s), (Bytes{0x11, 0x03, 0x02, 0x00, 0x00, 0x79, 0x87}));
    line.Send(Bytes{0x04, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x5F});
    EXPECT_TRUE(slave.WaitForLines(IsFrame("rx", "other id"), 1, 2s));
    EXPECT_TRUE(line.Receive(1, 300ms).empty());
}

TEST(SlaveWireRtu, SilenceDecidesWhereAFrameEnds) {
    // At 110 bit/s 3.5 characters last 318 ms: a 20 ms pause stays inside one frame, a pause
    // of 800 ms splits it. The margins are wide so that a busy machine does not blur them.
    CSlaveProcess slave;
    ASSERT_TRUE(slave.Start({"--baud", "110"}));
    CRawLine line(slave.Path());
    ASSERT_TRUE(line.Ok());

    line.Send(Bytes(kReadOne.begin(), kReadOne.begin() + 3));
    std::this_thread::sleep_for(20ms);
    line.Send(Bytes(kReadOne.begin() + 3, kReadOne.end()));
    EXPECT_EQ(line.Receive(7, 3s).size(), 7u);

    line.Send(Bytes(kReadOne.begin(), kReadOne.begin() + 5));
    std::this_thread::sleep_for(800ms);
    line.Send(Bytes(kReadOne.begin() + 5, kReadOne.end()));
    EXPECT_TRUE(line.Receive(1, 600ms).empty());
    EXPECT_TRUE(slave.WaitForLines(IsFrame("rx", "bad crc"), 1, 2s));
    EXPECT_TRUE(slave.WaitForLines(IsFrame("rx", "short"), 1, 2s));
}

TEST(SlaveWireRtu, FaultsOnRequest) {
    {
        CSlaveProcess slave;
        ASSERT_TRUE(slave.Start({"--corrupt", "2"}));
        CRawLine line(slave.Path());
        for (int i = 1; i <= 4; ++i) {
            line.Send(kReadOne);
            const Bytes answer = line.Receive(7, 2s);
            ASSERT_EQ(answer.size(), 7u);
            if (i % 2 == 0) {
                EXPECT_EQ(answer, (Bytes{0x01, 0x03, 0x02, 0x00, 0x00, 0x47, 0xBB})) << i;
            } else {
                EXPECT_EQ(answer, (Bytes{0x01, 0x03, 0x02, 0x00, 0x00, 0xB8, 0x44})) << i;
            }
        }
        EXPECT_TRUE(slave.WaitForLines(IsFrame("tx", "corrupt"), 2, 2s));
    }
    {
        CSlaveProcess slave;
        ASSERT_TRUE(slave.Start({"--wrong-id"}));
        CRawLine line(slave.Path());
        line.Send(kReadOne);
        EXPECT_EQ(line.Receive(7, 2s), (Bytes{0x02, 0x03, 0x02, 0x00, 0x00, 0xFC, 0x44}));
    }
    {
        CSlaveProcess slave;
        ASSERT_TRUE(slave.Start({"--silent"}));
        CRawLine line(slave.Path());
        line.Send(kReadOne);
        EXPECT_TRUE(slave.WaitForLines(IsFrame("rx", "silent"), 1, 2s));
        EXPECT_TRUE(line.Receive(1, 300ms).empty());
    }
    {
        CSlaveProcess slave;
        ASSERT_TRUE(slave.Start({"--delay", "400"}));
        CRawLine line(slave.Path());
        const Stopwatch watch;
        line.Send(kReadOne);
        EXPECT_TRUE(line.Receive(1, 300ms).empty());
        EXPECT_EQ(line.Receive(7, 3s).size(), 7u);
        EXPECT_GE(watch.Ms(), 400);
    }
}

TEST(SlaveWireRtu, RefusedFunctionGetsIllegalFunctionAndOthersAnswer) {
    CSlaveProcess slave;
    ASSERT_TRUE(slave.Start({"--refuse", "43"}));
    CRawLine line(slave.Path());
    line.Send(Bytes{0x01, 0x2B, 0x0E, 0x01, 0x00, 0x70, 0x77});
    EXPECT_EQ(line.Receive(5, 2s), (Bytes{0x01, 0xAB, 0x01, 0x9E, 0xF0}));
    line.Send(Bytes{0x01, 0x11, 0xC0, 0x2C});
    const Bytes answer = line.Receive(19, 2s);
    ASSERT_EQ(answer.size(), 19u);
    EXPECT_EQ(answer[1], 0x11);
}

TEST(SlaveWireRtu, LineSurvivesMastersComingAndGoing) {
    CSlaveProcess slave;
    ASSERT_TRUE(slave.Start({}));
    for (int i = 0; i < 3; ++i) {
        CRawLine line(slave.Path());
        ASSERT_TRUE(line.Ok()) << i;
        line.Send(kReadOne);
        EXPECT_EQ(line.Receive(7, 2s).size(), 7u) << i;
    }
}

TEST(SlaveWireAscii, AnswersInUpperCaseHexAndLogsDecodedBytes) {
    CSlaveProcess slave;
    ASSERT_TRUE(slave.Start({"--mode", "ascii", "--id", "10"}));
    EXPECT_EQ(slave.FirstLine(),
              "vornak-slave: listening on " + slave.Path() + " (ASCII, id 10, 9600 8N1)");
    CRawLine line(slave.Path());
    ASSERT_TRUE(line.Ok());

    auto receiveText = [&line](std::size_t n) {
        const Bytes b = line.Receive(n, 2s);
        return std::string(b.begin(), b.end());
    };
    line.Send(":0A060001ABCD77\r\n");
    EXPECT_EQ(receiveText(17), ":0A060001ABCD77\r\n");
    // Lower-case hex is accepted; the answer is upper case.
    line.Send(":0a0300000002f1\r\n");
    EXPECT_EQ(receiveText(19), ":0A03040000ABCD77\r\n");
    // Noise before the ":" and an unfinished frame are dropped.
    line.Send("garbage:0A03\r:0A0300010001F1\r\n");
    EXPECT_EQ(receiveText(15), ":0A0302ABCD79\r\n");
    line.Send(":0A2B0000000AC1\r\n");
    EXPECT_EQ(receiveText(11), ":0AAB014A\r\n");
    // A bad LRC and bad hex are ignored.
    line.Send(":0A0300000001F3\r\n:0A03000G0001F2\r\n");
    EXPECT_TRUE(slave.WaitForLines(IsFrame("rx", "bad lrc"), 1, 2s));
    EXPECT_TRUE(slave.WaitForLines(IsFrame("rx", "bad hex"), 1, 2s));
    EXPECT_TRUE(line.Receive(1, 300ms).empty());

    const auto lines = slave.Lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0].substr(12), " rx 0A 06 00 01 AB CD 77 \"0A060001ABCD77\"");
    EXPECT_EQ(lines[1].substr(12), " tx 0A 06 00 01 AB CD 77 \"0A060001ABCD77\"");
    const auto parsed = ParseSlaveLogLine(lines[1]);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->text, "0A060001ABCD77");
}

TEST(SlaveWireAscii, CorruptAnswerCarriesAWrongLrc) {
    CSlaveProcess slave;
    ASSERT_TRUE(slave.Start({"--mode", "ascii", "--corrupt", "1"}));
    CRawLine line(slave.Path());
    line.Send(":010300000001FB\r\n");
    const Bytes b = line.Receive(15, 2s);
    EXPECT_EQ(std::string(b.begin(), b.end()), ":0103020000FB\r\n");
    EXPECT_TRUE(slave.WaitForLines(IsFrame("tx", "corrupt"), 1, 2s));
}

TEST(SlaveProcess, SignalsEndItCleanlyAndRemoveTheLink) {
    const std::string link = ::testing::TempDir() + "vornak-slave-link-" + std::to_string(getpid());
    for (int sig : {SIGTERM, SIGINT}) {
        CSlaveProcess slave;
        ASSERT_TRUE(slave.Start({"--link", link}));
        char target[256] = {};
        ASSERT_GT(::readlink(link.c_str(), target, sizeof target - 1), 0);
        EXPECT_EQ(std::string(target), slave.Path());
        CRawLine viaLink(link);
        ASSERT_TRUE(viaLink.Ok());
        viaLink.Send(kReadOne);
        EXPECT_EQ(viaLink.Receive(7, 2s).size(), 7u);
        EXPECT_EQ(slave.Stop(sig), 0) << sig;
        struct stat st {};
        EXPECT_NE(::lstat(link.c_str(), &st), 0) << "link left behind after signal " << sig;
    }
}

TEST(SlaveProcess, StaleLinkIsReplacedButAFileIsNot) {
    const std::string link =
        ::testing::TempDir() + "vornak-slave-stale-" + std::to_string(getpid());
    ASSERT_EQ(::symlink("/nonexistent/old", link.c_str()), 0);
    {
        CSlaveProcess slave;
        ASSERT_TRUE(slave.Start({"--link", link}));
        char target[256] = {};
        ASSERT_GT(::readlink(link.c_str(), target, sizeof target - 1), 0);
        EXPECT_EQ(std::string(target), slave.Path());
    }
    std::ofstream(link) << "keep me";
    const SlaveRun run = RunSlaveToEnd({"--link", link});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("not a symbolic link"), std::string::npos) << run.err;
    std::ifstream in(link);
    std::string content;
    std::getline(in, content);
    EXPECT_EQ(content, "keep me");
    ::unlink(link.c_str());
}

TEST(SlaveProcess, BadOptionsExitWithTwoAndHelpWithZero) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--mode", "tcp"}, {"--id", "0"}, {"--baud"}, {"--nonsense"}, {"--corrupt", "x"}}) {
        const SlaveRun run = RunSlaveToEnd(args);
        EXPECT_EQ(run.status, 2) << args[0];
        EXPECT_NE(run.err.find("vornak-slave: "), std::string::npos) << run.err;
        EXPECT_TRUE(run.out.empty());
    }
    const SlaveRun help = RunSlaveToEnd({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: vornak-slave", 0), 0u) << help.out;
    EXPECT_NE(help.out.find("(t + i) & 0xFFFF"), std::string::npos);

    const SlaveRun missing = RunSlaveToEnd({"--device", "/nonexistent/ttyX"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("/nonexistent/ttyX"), std::string::npos) << missing.err;
    const SlaveRun notTty = RunSlaveToEnd({"--device", "/dev/null"});
    EXPECT_EQ(notTty.status, 1);
    EXPECT_NE(notTty.err.find("not a terminal"), std::string::npos) << notTty.err;
}

TEST(SlaveProcess, ServesATerminalDevice) {
    // The terminal side of the test's own pseudo-terminal stands in for a serial device; the
    // test talks on the other side.
    const int host = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(host, 0);
    // Kept out of the slave, so that closing it here really takes the device away.
    ::fcntl(host, F_SETFD, FD_CLOEXEC);
    ASSERT_EQ(::grantpt(host), 0);
    ASSERT_EQ(::unlockpt(host), 0);
    const std::string device = ::ptsname(host);
    {
        CSlaveProcess slave;
        // A pseudo-terminal keeps CS8 without parity whatever is asked; the rate sticks.
        ASSERT_TRUE(slave.Start({"--device", device, "--baud", "19200", "--parity", "even"}));
        EXPECT_EQ(slave.FirstLine(),
                  "vornak-slave: listening on " + device + " (RTU, id 1, 19200 8E1)");
        ASSERT_EQ(::write(host, kReadOne.data(), kReadOne.size()),
                  static_cast<ssize_t>(kReadOne.size()));
        Bytes answer;
        const Stopwatch watch;
        while (answer.size() < 7 && watch.Ms() < 2000) {
            pollfd fd = {host, POLLIN, 0};
            std::uint8_t buffer[16];
            if (::poll(&fd, 1, 100) > 0) {
                const ssize_t n = ::read(host, buffer, sizeof buffer);
                if (n > 0) {
                    answer.insert(answer.end(), buffer, buffer + n);
                }
            }
        }
        EXPECT_EQ(answer, (Bytes{0x01, 0x03, 0x02, 0x00, 0x00, 0xB8, 0x44}));
        termios tio{};
        const int probe = ::open(device.c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(probe, 0);
        ASSERT_EQ(::tcgetattr(probe, &tio), 0);
        ::close(probe);
        EXPECT_EQ(cfgetospeed(&tio), B19200);
        EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u);
        // The device going away ends the slave with 1.
        ::close(host);
        EXPECT_EQ(slave.Stop(0, 3s), 1);
    }
}

}  // namespace
