// vornak-monitor as a user runs it: on the simulator's tap while vornak-poll or mbpoll is the
// master, and on a pseudo-terminal of the test's own, which must never hear a byte from it.

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <thread>

#include "SlaveProcess.h"

using namespace std::chrono_literals;

namespace {

std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    return {std::istream_iterator<std::string>(in), {}};
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, separator);) {
        parts.push_back(part);
    }
    return parts;
}

// Each record as the test compares it: kind to error, '#' for an answer time, and the bytes of
// noise (a frame's bytes are the decoder's tests' concern).
std::vector<std::string> ReadCsv(const std::string& out) {
    std::vector<std::string> records;
    std::vector<std::string> lines = Split(out, '\n');
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::vector<std::string> f = Split(lines[i] + ",", ',');
        if (f.size() != 11) {
            records.push_back("malformed: " + lines[i]);
            continue;
        }
        std::string record = f[1];
        for (std::size_t k = 2; k <= 8; ++k) {
            record += "," + f[k];
        }
        records.push_back(record + (f[9].empty() ? "," : ",#") +
                          (f[1] == "noise" ? "," + f[10] : ""));
    }
    return records;
}

struct Scenario {
    const char* name;
    std::string slave;                 // the simulator's options besides the tap
    std::vector<std::string> masters;  // in turn: "poll ARGS", "mbpoll ARGS", "send BYTES" (raw)
    std::vector<std::string>
        records;        // kind,slave,function,address,count,values,exception,error,#[,noise bytes]
    std::string tally;  // the summary's line of slave 1
};

void PrintTo(const Scenario& s, std::ostream* os) {
    *os << s.name;
}

class MonitorOnTap : public ::testing::TestWithParam<Scenario> {};

TEST_P(MonitorOnTap, HearsWhatTheMasterAndTheSimulatorSaid) {
    const Scenario& s = GetParam();
    for (const std::string& command : s.masters) {
        if (command.rfind("mbpoll ", 0) == 0 && ::access("/usr/bin/mbpoll", X_OK) != 0) {
            GTEST_SKIP() << "mbpoll is not installed (scripts/deps.sh installs it)";
        }
    }
    const std::string tap = "/tmp/vornak-monitor-tap-" + std::to_string(::getpid());
    CSlaveProcess slave;
    ASSERT_TRUE(slave.Start(Words("--baud 19200 --pace --tap " + tap + " " + s.slave)));
    const bool ascii = s.slave.find("ascii") != std::string::npos;
    const std::string line = "-b 19200 " + std::string(ascii ? "-m ascii " : "");
    const SlaveRun run = RunProgramToEnd(
        VORNAK_MONITOR_PATH,
        Words("-o csv --duration 3 -t 300 --trace " + tap + ".trace " + line + tap), 10s,
        [&](pid_t) {
            std::this_thread::sleep_for(500ms);  // the monitor opens the tap meanwhile
            for (const std::string& command : s.masters) {
                const std::string args = command.substr(command.find(' ') + 1);
                if (command.rfind("poll ", 0) == 0) {
                    RunProgramToEnd(VORNAK_POLL_PATH,
                                    Words(line + "-t 500 " + args + " " + slave.Path()), 10s);
                } else if (command.rfind("mbpoll ", 0) == 0) {
                    RunProgramToEnd(
                        "/usr/bin/mbpoll",
                        Words("-m rtu -b 19200 -P none -1 " + args + " " + slave.Path()), 10s);
                } else {
                    CRawLine(slave.Path()).Send(std::string(args));
                    std::this_thread::sleep_for(100ms);
                }
            }
        });
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> records = ReadCsv(run.out);
    EXPECT_EQ(records, s.records) << run.out;
    static const std::regex times(R"(= [0-9./]+ ms)");
    EXPECT_NE(std::regex_replace(run.err, times, "= #").find(s.tally), std::string::npos)
        << run.err;
    // The trace has a line per record, with its kind where a master's trace has the direction.
    std::ifstream trace(tap + ".trace");
    std::string text;
    std::size_t n = 0;
    for (; n < records.size() && std::getline(trace, text); ++n) {
        EXPECT_EQ(Split(text, ' ').at(3), records[n].substr(0, records[n].find(','))) << text;
    }
    EXPECT_EQ(n, records.size());
    EXPECT_FALSE(std::getline(trace, text)) << "traced more than heard: " << text;
    ::unlink((tap + ".trace").c_str());
    ::unlink(tap.c_str());
}

const std::vector<std::string> kWriteThenRead = {"request,1,16,3,2,4660 7,,,",
                                                 "answer,1,16,3,2,,,,#", "request,1,3,3,2,,,,",
                                                 "answer,1,3,3,2,4660 7,,,#"};

INSTANTIATE_TEST_SUITE_P(
    Bus, MonitorOnTap,
    ::testing::Values(
        Scenario{"rtu_bursts_mbpoll",
                 "--burst 16",
                 {"poll -r 3 -w 4660,7", "mbpoll -r 4 -c 2"},
                 kWriteThenRead,
                 "slave 1: 2 requests, 2 answers"},
        Scenario{"ascii",
                 "--mode ascii",
                 {"poll -r 3 -w 4660,7", "poll -r 3 -c 2"},
                 kWriteThenRead,
                 "slave 1: 2 requests, 2 answers"},
        Scenario{"exception_and_unanswered",
                 "--fault-plan .s",
                 {"poll -r 9999 -c 2", "poll -r 0"},
                 {"request,1,3,9999,2,,,,", "exception,1,3,9999,2,,2 (Illegal Data Address),,#",
                  "request,1,3,0,1,,,,"},
                 "slave 1: 2 requests, 0 answers, 1 exception, 1 unanswered, 0 check errors"},
        Scenario{"bad_check",
                 "--corrupt 1",
                 {"poll -r 0"},
                 {"request,1,3,0,1,,,,", "noise,,,,,,,bad CRC,,01 03 02 00 00 47 BB"},
                 "slave 1: 1 request, 0 answers, 0 exceptions, 0 unanswered, 1 check error"},
        Scenario{"noise_between_frames",
                 "",
                 {"send \xFF\xFF\x55", "poll -r 0"},
                 {"noise,,,,,,,,,FF FF 55", "request,1,3,0,1,,,,", "answer,1,3,0,1,0,,,#"},
                 "slave 1: 1 request, 1 answer"}),
    [](const auto& info) { return std::string(info.param.name); });

// On a pseudo-terminal of the test's own, whose other end must never hear a byte: a stop before
// anything was heard (the signal's status), -n (0 after that many records), and the other end
// closing (1, with the reason after the summary).
TEST(MonitorProcess, NeverWritesAndEndsAsItsStatusSays) {
    const std::string request = "01 03 00 00 00 01 84 0A";
    const std::string head =
        "time,kind,slave,function,address,count,values,exception,error,answer_ms,bytes\n";
    const struct {
        std::string args;
        int status;
        std::string out;
        std::string errTail;
    } cases[] = {
        {"", 130, head, "0 records, 0 noise bytes\n"},
        {"-n 1", 0, head + "request,1,3,0,1,,,,," + request + "\n",
         "slave 1: 1 request, 0 answers, 0 exceptions, 1 unanswered, 0 check errors\n"},
        {"-b 115200", 1, head,
         ": the line hung up: the device went away or its other side closed\n"},
    };
    for (const auto& c : cases) {
        // Close-on-exec: a monitor holding this end too would never see it close.
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(master, 0);
        ASSERT_EQ(::grantpt(master) | ::unlockpt(master), 0);
        const std::string path = ::ptsname(master);
        bool closed = false;
        SlaveRun run = RunProgramToEnd(
            VORNAK_MONITOR_PATH, Words("-o csv " + c.args + " " + path), 10s, [&](pid_t pid) {
                std::this_thread::sleep_for(500ms);
                if (c.status == 130) {
                    ::kill(pid, SIGINT);
                } else if (c.status == 0) {
                    const std::uint8_t frames[] = {1, 3, 0, 0, 0, 1, 0x84, 0x0A};
                    EXPECT_EQ(::write(master, frames, sizeof frames), 8);
                } else {
                    ::close(master);
                    closed = true;
                }
            });
        std::uint8_t byte = 0;
        if (!closed) {
            EXPECT_EQ(::read(master, &byte, 1), -1);  // EAGAIN: nothing came from the monitor
            ::close(master);
        }
        EXPECT_EQ(run.status, c.status) << c.args;
        run.out = std::regex_replace(run.out, std::regex("\n[^,]+,"), "\n");
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err.substr(run.err.size() - std::min(run.err.size(), c.errTail.size())),
                  c.errTail)
            << run.err;
    }
    // Bad usage: status 2 and one line.
    const SlaveRun bad = RunProgramToEnd(VORNAK_MONITOR_PATH, {"-b", "0", "/dev/null"}, 10s);
    EXPECT_EQ(std::to_string(bad.status) + bad.err,
              "2vornak-monitor: bad value for --baud: '0' (1 to 4000000 bit/s, as the port's "
              "driver takes it)\n");
}

}  // namespace
