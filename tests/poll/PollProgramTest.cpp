// vornak-poll as a user runs it, against vornak-slave on a pseudo-terminal, in both framings.

#include <signal.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include "SlaveProcess.h"

using namespace std::chrono_literals;

namespace {

SlaveRun Poll(const std::vector<std::string>& args) {
    return RunProgramToEnd(VORNAK_POLL_PATH, args, 20s);
}

const char kTime[] = R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d)";

class PollProgram : public ::testing::TestWithParam<std::string> {
protected:
    void Start(std::vector<std::string> args) {
        args.insert(args.end(), {"--mode", GetParam()});
        ASSERT_TRUE(m_slave.Start(args));
    }
    // The options for our slave's line and mode, then the test's own.
    SlaveRun Run(std::vector<std::string> args) {
        args.insert(args.end(), {"-m", GetParam(), m_slave.Path()});
        return Poll(args);
    }
    CSlaveProcess m_slave;
};

TEST_P(PollProgram, WritesThenReadsBackInEachFormat) {
    Start({});
    for (const auto& [address, value, line] :
         {std::tuple{"0x10", "0x1234", "[Address : 0x0010 / 40017 ] = 0x1234, 4660"},
          std::tuple{"17", "65535", "[Address : 0x0011 / 40018 ] = 0xffff, 65535"}}) {
        const SlaveRun write = Run({"-r", address, "-w", value});
        EXPECT_EQ(write.status, 0) << write.err;
        EXPECT_EQ(write.out, std::string(line) + "\nOK\n");
    }
    // The write request on the wire, before its check: slave 1, function 6, address, value.
    ASSERT_TRUE(m_slave.WaitForLines(IsFrame("rx"), 2, 2s));
    const auto first = ParseSlaveLogLine(m_slave.Lines()[0]);
    ASSERT_TRUE(first && first->bytes.size() >= 6);
    EXPECT_EQ(std::vector<std::uint8_t>(first->bytes.begin(), first->bytes.begin() + 6),
              (std::vector<std::uint8_t>{0x01, 0x06, 0x00, 0x10, 0x12, 0x34}));

    const std::string table =
        "[Address : 0x0010 / 40017 ] = 0x1234, 4660\n"
        "[Address : 0x0011 / 40018 ] = 0xffff, 65535\nOK\n";
    EXPECT_EQ(Run({"-r", "16", "-c", "2"}).out, table);
    EXPECT_EQ(Run({"--ref", "40017", "-c", "2"}).out, table);

    const SlaveRun csv = Run({"--ref", "40017", "-c", "2", "-o", "csv", "-n", "2", "-i", "50"});
    EXPECT_EQ(csv.status, 0);
    const std::string row = std::string(kTime) + ",1,3,";
    EXPECT_TRUE(
        std::regex_match(csv.out, std::regex("time,slave,function,address,value,result\n(" + row +
                                             "16,4660,OK\n" + row + "17,65535,OK\n){2}")))
        << csv.out;

    const SlaveRun json = Run({"--ref", "40017", "-c", "2", "-o", "json"});
    EXPECT_TRUE(std::regex_match(
        json.out, std::regex("\\{\"time\":\"" + std::string(kTime) +
                             "\",\"slave\":1,\"function\":3,\"address\":16,\"values\":\\[4660,"
                             "65535\\],\"code\":0,\"text\":\"OK\"\\}\n")))
        << json.out;

    // A coil: written on, read back with its neighbour off, as reference 0xxxx.
    EXPECT_EQ(Run({"-f", "1", "-r", "3", "-w", "1"}).status, 0);
    EXPECT_EQ(Run({"-f", "1", "--ref", "4", "-c", "2"}).out,
              "[Address : 0x0003 / 4 ] = 0x0001, 1\n[Address : 0x0004 / 5 ] = 0x0000, 0\nOK\n");
}

TEST_P(PollProgram, SilentSlaveFailsWithTheTimeOutText) {
    Start({"--silent"});
    const std::string timeout = "Time-out Error";
    const std::tuple<std::string, std::string> expected[] = {
        {"table", timeout + "\n"},
        {"csv", "time,slave,function,address,value,result\n" + std::string(kTime) +
                    ",1,3,7,,Time-out Error\n"},
        {"json", "\\{\"time\":\"" + std::string(kTime) +
                     "\",\"slave\":1,\"function\":3,\"address\":7,\"values\":\\[\\],\"code\":1,"
                     "\"text\":\"Time-out Error\"\\}\n"},
    };
    for (const auto& [format, out] : expected) {
        const SlaveRun run = Run({"-t", "100", "-r", "7", "-c", "3", "-o", format});
        EXPECT_EQ(run.status, 1) << format;
        EXPECT_TRUE(std::regex_match(run.out, std::regex(out))) << format << ": " << run.out;
        EXPECT_EQ(run.err, "vornak-poll: Time-out Error\n") << format;
    }
    const SlaveRun three = Run({"-t", "100", "-n", "3", "-i", "0"});
    EXPECT_EQ(three.status, 1);
    EXPECT_EQ(three.err, "vornak-poll: 3 of 3 polls failed, the last with: Time-out Error\n");
}

TEST_P(PollProgram, ComPortsResolveThroughTheEnvironmentAndThePortMap) {
    Start({});
    const std::filesystem::path home =
        std::filesystem::temp_directory_path() / ("vornak-poll-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(home / "Quorvix");
    std::ofstream(home / "Quorvix" / "Vornak.ini") << "[Port Map]\nCOM5=" << m_slave.Path() << "\n";
    ::setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    ::setenv("VORNAK_COM6", m_slave.Path().c_str(), 1);
    for (const char* port : {"COM5", "com6"}) {
        const SlaveRun run = Poll({"-m", GetParam(), "--ref", "30001", "-f", "4", port});
        EXPECT_EQ(run.status, 0) << port << ": " << run.err;
        EXPECT_TRUE(run.out.ends_with("\nOK\n")) << port;
    }
    ::unsetenv("XDG_CONFIG_HOME");
    ::unsetenv("VORNAK_COM6");
    std::filesystem::remove_all(home);
}

// SIGINT during a long time-out, and SIGTERM between two polls: the run ends at once, what
// was printed stays, and only exchanges that ended on their own are counted.
TEST_P(PollProgram, StopSignalEndsTheRunAtOnce) {
    Start({"--silent"});
    CSlaveProcess good;
    ASSERT_TRUE(good.Start({"--mode", GetParam()}));
    const std::tuple<std::string, int, std::string> cases[] = {
        {m_slave.Path(), SIGINT, ""},
        {good.Path(), SIGTERM, "[Address : 0x0000 / 40001 ] = 0x0000, 0\nOK\n"},
    };
    for (const auto& [path, sig, out] : cases) {
        std::chrono::steady_clock::time_point sent;
        const SlaveRun run = RunProgramToEnd(
            VORNAK_POLL_PATH, {"-m", GetParam(), "-t", "5000", "-i", "5000", "-n", "0", path}, 20s,
            [&sent, sig = sig](pid_t pid) {
                std::this_thread::sleep_for(500ms);
                sent = std::chrono::steady_clock::now();
                ::kill(pid, sig);
            });
        const auto took = std::chrono::steady_clock::now() - sent;
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, out);
        // Far below the 5 s either wait would take; generous for a loaded machine.
        EXPECT_LT(took, 1000ms) << sig;
    }
}

INSTANTIATE_TEST_SUITE_P(Framing, PollProgram, ::testing::Values("rtu", "ascii"));

TEST(PollProgramUsage, BadUsageAndAPortThatDoesNotOpenExitWithTwo) {
    const std::vector<std::string> cases[] = {
        {"-c", "0", "COM1"},  {"--bogus", "COM1"}, {"-w", "1", "-f", "2", "COM1"}, {},
        {"/nonexistent/tty"},
    };
    for (const auto& args : cases) {
        const SlaveRun run = Poll(args);
        EXPECT_EQ(run.status, 2) << ::testing::PrintToString(args);
        EXPECT_TRUE(std::regex_match(run.err, std::regex("vornak-poll: [^\n]+\n"))) << run.err;
        EXPECT_EQ(run.out, "");
    }
    EXPECT_NE(Poll({"/nonexistent/tty"}).err.find("No such file or directory"), std::string::npos);
}

}  // namespace
