// vornak-poll as a user runs it, against vornak-slave on a pseudo-terminal, in both framings.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <thread>
#include <tuple>

#include "SlaveProcess.h"

using namespace std::chrono_literals;

namespace {

using Bytes = std::vector<std::uint8_t>;

std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    return {std::istream_iterator<std::string>(in), {}};
}

// A run as the user sees it: "status|standard output|standard error", with each time stamp
// (2026-12-08T16:01:21.123+00:00) shown as '@', exchange times as '#', and the progress lines
// of a scan or a sweep left out.
std::string WithoutProgress(const std::string& err) {
    static const std::regex progress(R"(\[[#.]{20}\] [^\n]*\n)");
    return std::regex_replace(err, progress, "");
}

std::string Poll(const std::string& args, const std::function<void(pid_t)>& during = {}) {
    static const std::regex time(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d)");
    static const std::regex figures(R"(= \d+\.\d{3}/\d+\.\d{3}/\d+\.\d{3} ms)");
    const SlaveRun run = RunProgramToEnd(VORNAK_POLL_PATH, Words(args), 20s, during);
    return std::to_string(run.status) + "|" + std::regex_replace(run.out, time, "@") + "|" +
           std::regex_replace(WithoutProgress(run.err), figures, "= #");
}

// The summary a run of more than one poll ends with.
std::string Summary(const std::string& port, const std::string& counts, bool timed = true) {
    return "--- " + port + " ---\n" + counts + "\n" +
           (timed ? "exchange min/mean/max = #\n" : "no answer to time\n");
}

class PollProgram : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        std::vector<std::string> line{"--mode", GetParam()};
        if (Network())
            line = {"--" + GetParam(), "0"};
        ASSERT_TRUE(m_slave.Start(line));
        line.push_back("--silent");
        ASSERT_TRUE(m_silent.Start(line));
    }
    bool Network() const { return GetParam() == "tcp" || GetParam() == "udp"; }
    // The test's options, then the slave's mode and line.
    std::string Run(const CSlaveProcess& slave, const std::string& args,
                    const std::function<void(pid_t)>& during = {}) {
        return Poll(args + " -m " + GetParam() + " " + slave.Path(), during);
    }
    CSlaveProcess m_slave;
    CSlaveProcess m_silent;
};

TEST_P(PollProgram, WritesThenReadsBackOrTimesOutInEachFormat) {
    EXPECT_EQ(Run(m_slave, "-r 0x10 -w 0x1234"),
              "0|[Address : 0x0010 / 40017 ] = 0x1234, 4660\nOK\n|");
    EXPECT_EQ(Run(m_slave, "-r 17 -w 65535"),
              "0|[Address : 0x0011 / 40018 ] = 0xffff, 65535\nOK\n|");
    // The write request on the wire, before its check: slave 1, function 6, address, value.
    ASSERT_TRUE(m_slave.WaitForLines(IsFrame("rx"), 2, 2s));
    const auto first = ParseSlaveLogLine(m_slave.Lines()[0]);
    // Over the network the slave logs the whole ADU: its MBAP header comes before the unit.
    const int header = Network() ? 6 : 0;
    ASSERT_TRUE(first && first->bytes.size() >= 6u + header);
    const Bytes pdu(first->bytes.begin() + header, first->bytes.begin() + header + 6);
    EXPECT_EQ(pdu, (Bytes{0x01, 0x06, 0x00, 0x10, 0x12, 0x34}));

    // Per format: a heading, one poll of the two registers, and one that timed out.
    const std::string json = R"({"time":"@","slave":1,"function":3,"address":)";
    const std::tuple<std::string, std::string, std::string, std::string> formats[] = {
        {"table", "",
         "[Address : 0x0010 / 40017 ] = 0x1234, 4660\n"
         "[Address : 0x0011 / 40018 ] = 0xffff, 65535\nOK\n",
         "Time-out Error\n"},
        {"csv", "time,slave,function,address,value,result\n",
         "@,1,3,16,4660,OK\n@,1,3,17,65535,OK\n", "@,1,3,7,,Time-out Error\n"},
        {"json", "", json + R"(16,"values":[4660,65535],"code":0,"text":"OK"})" + "\n",
         json + R"(7,"values":[],"code":1,"text":"Time-out Error"})" + "\n"},
    };
    for (const auto& [format, head, poll, timedOut] : formats) {
        SCOPED_TRACE(format);
        EXPECT_EQ(Run(m_slave, "--ref 40017 -c 2 -n 2 -i 50 -o " + format),
                  "0|" + head + poll + poll + "|" +
                      Summary(m_slave.Path(), "2 polls, 2 requests, 2 OK, 0 failed"));
        EXPECT_EQ(Run(m_silent, "-t 100 -r 7 -c 3 -o " + format),
                  "1|" + head + timedOut + "|vornak-poll: Time-out Error\n");
    }
    EXPECT_EQ(Run(m_silent, "-t 100 -n 3 -i 0"),
              "1|Time-out Error\nTime-out Error\nTime-out Error\n|" +
                  Summary(m_silent.Path(), "3 polls, 3 requests, 0 OK, 3 failed (3 Time-out Error)",
                          false) +
                  "vornak-poll: 3 of 3 polls failed, the last with: Time-out Error\n");

    // A coil: written on, then read back with its neighbour off as reference 0xxxx, through
    // COM5 of the settings file's Port Map.
    EXPECT_EQ(Run(m_slave, "-f 1 -r 3 -w 1"), "0|[Address : 0x0003 / 4 ] = 0x0001, 1\nOK\n|");
    const std::string home = "/tmp/vornak-poll-" + std::to_string(::getpid());
    std::filesystem::create_directories(home + "/Quorvix");
    std::ofstream(home + "/Quorvix/Vornak.ini")
        << "[Port Map]\nCOM5=" << (Network() ? GetParam() + "://" : "") << m_slave.Path() << "\n";
    ::setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    const std::string coil = Poll("-m " + GetParam() + " -f 1 --ref 4 -c 2 COM5");
    ::unsetenv("XDG_CONFIG_HOME");
    std::filesystem::remove_all(home);
    EXPECT_EQ(coil,
              "0|[Address : 0x0003 / 4 ] = 0x0001, 1\n[Address : 0x0004 / 5 ] = 0x0000, 0\nOK\n|");
}

// A stop signal ends the run at once; what was printed stays and only finished exchanges count.
TEST_P(PollProgram, StopSignalEndsTheRunAtOnce) {
    const std::string none = Summary(m_silent.Path(), "0 polls, 0 requests, 0 OK, 0 failed", false);
    const std::tuple<const CSlaveProcess&, int, std::string> cases[] = {
        {m_silent, SIGINT, "130||" + none},
        {m_silent, SIGTERM, "143||" + none},
        {m_slave, SIGTERM,
         "0|[Address : 0x0000 / 40001 ] = 0x0000, 0\nOK\n|" +
             Summary(m_slave.Path(), "1 poll, 1 request, 1 OK, 0 failed")},
    };
    for (const auto& [slave, sig, expected] : cases) {
        std::chrono::steady_clock::time_point sent;
        const std::string seen = Run(slave, "-t 5000 -i 5000 -n 0", [&sent, sig = sig](pid_t pid) {
            std::this_thread::sleep_for(500ms);
            sent = std::chrono::steady_clock::now();
            ::kill(pid, sig);
        });
        const auto took = std::chrono::steady_clock::now() - sent;
        EXPECT_EQ(seen, expected);
        // Far below the 5 s either wait would take; generous for a loaded machine.
        EXPECT_LT(took, 1000ms) << sig;
    }
}

INSTANTIATE_TEST_SUITE_P(Framing, PollProgram, ::testing::Values("rtu", "ascii", "tcp", "udp"));

TEST(PollProgramUsage, BadUsageAndAPortThatDoesNotOpenExitWithTwoAndOneLine) {
    EXPECT_EQ(Poll("-c 0 COM1"),
              "2||vornak-poll: bad value for --count: 0 (1 to 125 for function 3)\n");
    EXPECT_EQ(
        Poll("/nonexistent/tty"),
        "2||vornak-poll: cannot open /nonexistent/tty: No such file or directory (errno 2)\n");
    // A network mode never opens a serial device in its place.
    EXPECT_EQ(Poll("-m udp /dev/null"),
              "2||vornak-poll: -m udp takes HOST[:PORT], tcp://HOST[:PORT] "
              "or udp://HOST[:PORT], not /dev/null\n");
}

// An unreadable settings file or a control character in a mapping opens nothing for COM1.
TEST(PollProgramUsage, UntrustworthyMappingOpensNothing) {
    const std::string home = "/tmp/vornak-poll-map-" + std::to_string(::getpid());
    const std::string big(2 * 1024 * 1024, '#');
    const std::tuple<std::string, const char*, std::string> cases[] = {
        {big, nullptr,
         ": the settings file " + home +
             "/Quorvix/Vornak.ini cannot be read: larger than 1 MB (1048576 bytes), the most a "
             "settings file may hold; without its Port Map no device is chosen"},
        {big, "/nonexistent/tty", " (/nonexistent/tty): No such file or directory (errno 2)"},
        {std::string("[Port Map]\nCOM1=/dev/null\0\n", 27), nullptr,
         ": the Port Map's COM1 holds a control character (0x00) at byte 10"},
        {"", "/dev/null\x1b", ": VORNAK_COM1 holds a control character (0x1B) at byte 10"},
    };
    std::filesystem::create_directories(home + "/Quorvix");
    ::setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    for (const auto& [bytes, env, why] : cases) {
        std::ofstream(home + "/Quorvix/Vornak.ini", std::ios::binary) << bytes;
        if (env != nullptr)
            ::setenv("VORNAK_COM1", env, 1);
        EXPECT_EQ(Poll("-w 7 COM1"), "2||vornak-poll: cannot open COM1" + why + "\n");
        ::unsetenv("VORNAK_COM1");
    }
    ::unsetenv("XDG_CONFIG_HOME");
    std::filesystem::remove_all(home);
}

// Hostile trace paths and closed or full standard descriptors: a reason, and a clean line.
TEST(PollProgramHostile, RefusesOrFailsWithTheReasonAndKeepsTheLineClean) {
    CSlaveProcess slave;
    ASSERT_TRUE(slave.Start({}));
    const std::string dir = ::testing::TempDir() + "vornak-hostile-" + std::to_string(::getpid());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string victim = dir + "/victim";
    std::ofstream(victim) << "keep\n";
    std::filesystem::create_symlink(victim, dir + "/link");
    ASSERT_EQ(::mkfifo((dir + "/fifo").c_str(), 0600), 0);
    // A line of the test's own, held open, to see every byte the program wrote to it.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_TRUE(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
    const std::string pts = ::ptsname(master);
    const int held = ::open(pts.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    const std::pair<std::string, std::string> cases[] = {
        {"--trace " + dir + "/fifo " + slave.Path(),
         "2||vornak-poll: trace " + dir + "/fifo: is a FIFO, not a regular file\n"},
        {"--trace " + dir + "/link " + slave.Path(),
         "2||vornak-poll: trace " + dir + "/link: is a symbolic link, not a regular file\n"},
        // The kernel's files: the process's own name, which the text would have replaced.
        {"--trace /proc/self/comm " + slave.Path(),
         "2||vornak-poll: trace /proc/self/comm: is on a kernel file system (proc, sys and the "
         "like), not a file\n"},
        {"--trace /sys/vornak-trace " + slave.Path(),
         "2||vornak-poll: trace /sys/vornak-trace: is on a kernel file system (proc, sys and the "
         "like), not a file\n"},
        {slave.Path() + " >/dev/full", "1||vornak-poll: write error: No space left on device\n"},
        // Standard input closed too, so that the line takes number 2.
        {"-t 100 " + pts + " <&- 2>&-", "1|Time-out Error\n|"},
    };
    for (const auto& [args, expected] : cases) {
        SCOPED_TRACE(args);
        const SlaveRun run =
            RunProgramToEnd("/bin/sh", {"-c", "exec " VORNAK_POLL_PATH " " + args}, 10s);
        EXPECT_EQ(std::to_string(run.status) + "|" + run.out + "|" + run.err, expected);
    }
    std::ifstream kept(victim);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "keep\n");
    std::uint8_t line[256];
    pollfd ready{master, POLLIN, 0};
    const ssize_t n = ::poll(&ready, 1, 300) > 0 ? ::read(master, line, sizeof line) : 0;
    // The request, and not the text of its failure.
    EXPECT_EQ(Bytes(line, line + std::max<ssize_t>(n, 0)),
              (Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A}));
    ::close(held);
    ::close(master);
    std::filesystem::remove_all(dir);
}

}  // namespace

TEST(PollProgramMaster, WritesListsBroadcastsAndAsksSeveralSlaves) {
    CSlaveProcess slave;
    ASSERT_TRUE(slave.Start({}));
    const std::string line = " " + slave.Path();
    EXPECT_EQ(Poll("-T float32 --order CDAB -r 10 -w 3.5,-1e3" + line),
              "0|[Address : 0x000a / 40011 ] float32 = 3.5\n"
              "[Address : 0x000c / 40013 ] float32 = -1000\nOK\n|");
    EXPECT_EQ(Poll("-T float32 --order CDAB -r 10 -c 2 -o csv" + line),
              "0|time,slave,function,address,type,value,result\n@,1,3,10,float32,3.5,OK\n"
              "@,1,3,12,float32,-1000,OK\n|");
    ASSERT_TRUE(slave.WaitForLines(IsFrame("rx"), 2, 2s));
    const auto write = ParseSlaveLogLine(slave.Lines()[0]);
    ASSERT_TRUE(write);
    ASSERT_EQ(write->bytes.size(), 17u);
    EXPECT_EQ(Bytes(write->bytes.begin(), write->bytes.end() - 2),
              (Bytes{0x01, 0x10, 0x00, 0x0A, 0x00, 0x04, 0x08, 0x00, 0x00, 0x40, 0x60, 0x00, 0x00,
                     0xC4, 0x7A}));

    EXPECT_EQ(Poll("-a 0 -r 7 -w 99" + line),
              "0|[Address : 0x0007 / 40008 ] = 0x0063, 99\nbroadcast sent\n|");
    EXPECT_EQ(
        Poll("-a 2,1 -r 7 -t 200 -o csv" + line),
        "1|time,slave,function,address,value,result\n@,2,3,7,,Time-out Error\n"
        "@,1,3,7,99,OK\n|vornak-poll: 1 of 2 requests failed, the last with: Time-out Error\n");
}

// A run until interrupted outlives its server and opens the line again once it is back.
TEST(PollProgramMaster, LongRunReconnectsAfterTheServerRestartsAndSumsUp) {
    auto server = std::make_unique<CSlaveProcess>();
    ASSERT_TRUE(server->Start({"--tcp", "0"}));
    const std::string address = server->Path();
    const std::string port = address.substr(address.rfind(':') + 1);
    const std::string seen = Poll("-n 0 -i 100 -t 300 tcp://" + address, [&](pid_t pid) {
        std::this_thread::sleep_for(400ms);
        server->Stop(SIGTERM);
        std::this_thread::sleep_for(500ms);
        server = std::make_unique<CSlaveProcess>();
        EXPECT_TRUE(server->Start({"--tcp", port}));
        std::this_thread::sleep_for(600ms);
        ::kill(pid, SIGINT);
    });
    const std::string ok = "[Address : 0x0000 / 40001 ] = 0x0000, 0\nOK\n";
    const std::size_t lost = seen.find("Comm Port Not Opened: cannot open tcp://" + address);
    ASSERT_NE(lost, std::string::npos) << seen;
    EXPECT_EQ(seen.rfind("1|" + ok, 0), 0u) << seen;
    EXPECT_NE(seen.find(ok, lost), std::string::npos) << seen;
    EXPECT_NE(seen.find("|--- tcp://" + address + " ---\n"), std::string::npos) << seen;
}

// A USB adapter's 16 ms bursts on a paced 9600 line: the defaults read every 125-register answer.
TEST(PollProgramMaster, DefaultsReadEveryAnswerThroughUsbBursts) {
    CSlaveProcess slave;
    ASSERT_TRUE(slave.Start({"--pace", "--burst", "16"}));
    const std::string seen = Poll("-c 125 -n 3 -i 0 -o csv " + slave.Path());
    EXPECT_EQ(seen.rfind("0|", 0), 0u) << seen;
    EXPECT_NE(seen.find("|--- " + slave.Path() + " ---\n3 polls, 3 requests, 3 OK, 0 failed\n"),
              std::string::npos)
        << seen;
}

// A scan as the user sees it, times shown as '#'.
std::string Scan(const std::string& args, const std::function<void(pid_t)>& during = {}) {
    static const std::regex ms(R"(\(\d+ ms\)|,\d+\.\d{3}$)", std::regex::multiline);
    return std::regex_replace(Poll(args, during), ms, "#");
}

TEST(PollProgramScan, FindsTheOneSlaveWithinItsShortTimeOutsAndStopsOnCtrlC) {
    CSlaveProcess slave;
    ASSERT_TRUE(slave.Start({"--id", "5"}));
    const std::string line = " " + slave.Path();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Scan("--scan 1-8" + line), "0|5: answers #\n|");
    // Seven silent addresses at 68 ms each: far below even one default 1 s time-out each.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    EXPECT_EQ(Scan("--scan 5 -r 60000" + line),
              "0|5: answers, exception 2 (Illegal Data Address) #\n|");
    EXPECT_EQ(Scan("--scan 6,7" + line), "1||vornak-poll: no answer from 2 addresses\n");
    // A log gets the progress as plain lines, at each tenth of the way: here each address.
    const SlaveRun logged = RunProgramToEnd(VORNAK_POLL_PATH, Words("--scan 5-6" + line), 20s);
    EXPECT_EQ(logged.err.substr(0, logged.err.find(" found")),
              "[....................] 0/2, asking 5, 0");
    EXPECT_NE(logged.err.find("\n[##########..........] 1/2, asking 6, 1 found"),
              std::string::npos);
    // What was found stays; the partial list ends with the signal's status.
    EXPECT_EQ(Scan("--scan 5-7 -t 5000" + line,
                   [](pid_t pid) {
                       std::this_thread::sleep_for(500ms);
                       ::kill(pid, SIGINT);
                   }),
              "130|5: answers #\n|");
}

TEST(PollProgramIdentify, PrintsTheObjectsOrTheSlavesSilence) {
    CSlaveProcess slave;
    ASSERT_TRUE(slave.Start({"--vendor", "Acme", "--product", "Pump", "--revision", "2.1"}));
    const std::string line = " " + slave.Path();
    EXPECT_EQ(Poll("--identify" + line),
              "0|VendorName: Acme\nProductCode: Pump\nMajorMinorRevision: 2.1\n|");
    EXPECT_EQ(Poll("--identify -a 2 -t 200" + line), "1||vornak-poll: slave 2: Time-out Error\n");
}

// A scan over the simulator's three addresses finds exactly those, each identified beneath it.
TEST(PollProgramScan, FindsExactlyTheSimulatorsAddressesAndIdentifiesEach) {
    CSlaveProcess slave;
    ASSERT_TRUE(slave.Start(
        {"--id", "3,17,200", "--vendor", "Acme", "--product", "Pump", "--revision", "2.1"}));
    const std::string line = " " + slave.Path();
    // 1-247 at 68 ms each: about 17 s.
    const SlaveRun run =
        RunProgramToEnd(VORNAK_POLL_PATH, Words("--scan --identify -o json" + line), 60s);
    const std::string identity =
        R"(,"identity":{"VendorName":"Acme","ProductCode":"Pump","MajorMinorRevision":"2.1"}})";
    std::string expected;
    for (const char* id : {"3", "17", "200"})
        expected += std::string(R"({"slave":)") + id + R"(,"result":"OK","ms":#)" + identity + "\n";
    static const std::regex ms(R"("ms":\d+\.\d{3})");
    EXPECT_EQ(std::to_string(run.status) + "|" + std::regex_replace(run.out, ms, "\"ms\":#") + "|" +
                  WithoutProgress(run.err),
              "0|" + expected + "|");
    // A device without function 43 is asked 17; one without either is found, not identified.
    const std::pair<const char*, std::string> refusals[] = {
        {"43", "  slave id: 1\n  run indicator: ON\n  data: vornak-slave\n"},
        {"17,43", "  not identified: Slave Device Return an Exception Code 1\n"},
    };
    for (const auto& [refused, beneath] : refusals) {
        CSlaveProcess plain;
        ASSERT_TRUE(plain.Start({"--refuse", refused}));
        EXPECT_EQ(Scan("--scan 1 --identify " + plain.Path()), "0|1: answers #\n" + beneath + "|");
    }
}

// The simulator answers only at its own rate and stop bits, as a real slave hears garbage.
TEST(PollProgramDetect, FindsTheRateStopBitsAndModeAndEndsAsItsStatusSays) {
    CSlaveProcess slave;
    ASSERT_TRUE(slave.Start({"--mode", "ascii", "--baud", "19200", "--stop-bits", "2"}));
    const std::string line = " " + slave.Path();
    const std::string found = Poll("--detect" + line);
    EXPECT_EQ(found, "0|-b 19200 --parity none --stop-bits 2 -m ascii -a 1\n|");
    const std::string options = found.substr(2, found.find('\n') - 2);
    EXPECT_EQ(Poll(options + line), "0|[Address : 0x0000 / 40001 ] = 0x0000, 0\nOK\n|");
    EXPECT_EQ(Poll("--detect -b 115200 -m rtu" + line),
              "1||vornak-poll: no answer at 4 combinations\n");
    EXPECT_EQ(Poll("--detect -t 5000" + line,
                   [](pid_t pid) {
                       std::this_thread::sleep_for(500ms);
                       ::kill(pid, SIGTERM);
                   }),
              "143||");

    CSlaveProcess server;
    ASSERT_TRUE(server.Start({"--tcp", "0"}));
    ::setenv("VORNAK_COM3", ("tcp://" + server.Path()).c_str(), 1);
    const std::string mapped = Poll("--detect COM3");
    ::unsetenv("VORNAK_COM3");
    EXPECT_EQ(mapped, "2||vornak-poll: --detect needs a serial line; COM3 (tcp://" + server.Path() +
                          ") has no line settings to detect\n");
}
