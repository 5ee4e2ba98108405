// Outside masters read what device profiles say, from one vornak-slave serving two units with
// different maps on a pseudo-terminal, TCP and UDP at once: pymodbus's client and decoder
// (pymodbus_profiles.py beside this file) over each, mbpoll over the line. A write over TCP is
// read back over the line and UDP.

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "SlaveProcess.h"

using namespace std::chrono_literals;

namespace {

const std::string kProfiles = std::string(VORNAK_INTEROP_DIR) + "/profiles/";

std::map<std::string, std::string> Results(const std::string& out) {
    std::map<std::string, std::string> results;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        if (const auto space = line.find(' '); space != std::string::npos) {
            results[line.substr(0, space)] = line.substr(space + 1);
        }
    }
    return results;
}

class ProfileServing : public ::testing::Test {
protected:
    void SetUp() override {
        char folder[] = "/tmp/vornak-profilesXXXXXX";
        ASSERT_NE(::mkdtemp(folder), nullptr);
        m_folder = folder;
        std::ofstream(m_folder + "/plant.toml")
            << "[line]\n[network]\ntcp = 0\nudp = 0\n"
            << "[[unit]]\nid = 1\nprofile = \"" << kProfiles << "orders.toml\"\n"
            << "[[unit]]\nid = 2\nprofile = \"" << kProfiles << "other.toml\"\n";
        ASSERT_TRUE(m_slave.Start({"--config", m_folder + "/plant.toml"})) << m_slave.FirstLine();
        static const std::regex port(R"(listening on 127\.0\.0\.1:(\d+) \((TCP|UDP),)");
        ASSERT_TRUE(m_slave.WaitForLines(
            [](const std::string& l) { return l.find("UDP") != std::string::npos; }, 1, 2s));
        for (const std::string& line : m_slave.Lines()) {
            std::smatch m;
            if (std::regex_search(line, m, port)) {
                m_ports[m.str(2)] = m.str(1);
            }
        }
    }
    void TearDown() override {
        m_slave.Stop(SIGTERM);
        std::remove((m_folder + "/plant.toml").c_str());
        ::rmdir(m_folder.c_str());
    }

    std::string m_folder;
    CSlaveProcess m_slave;
    std::map<std::string, std::string> m_ports;
};

TEST_F(ProfileServing, EveryOrderAndTypeReadsAsTheProfileSaysOnEveryTransport) {
    const std::map<std::string, std::string> expected = {
        {"f_abcd", "1234.5"},
        {"f_cdab", "1234.5"},
        {"f_badc", "1234.5"},
        {"f_dcba", "1234.5"},
        {"hole", "ex 2"},
        {"i32_dcba", "-123456"},
        {"u64_cdab", "1234567890123"},
        {"f64_abcd", "-2.5"},
        {"name", "VORNAK"},
        {"bits", "0091"},
        {"energy", "12345"},
        {"coils", "10"},
        {"write_fixed", "ex 4"},
        {"write_f_abcd", "ok"},
        {"f_abcd_again", "3.14159"},
        {"other_setpoint", "42"},
        {"other_at_0", "ex 2"},
        {"orders_at_100", "ex 2"},
    };
    // TCP first: its write of f_abcd is what the line and UDP read, before and after writing.
    const std::pair<std::string, std::string> runs[] = {
        {"tcp", m_ports["TCP"]}, {"rtu", m_slave.Path()}, {"udp", m_ports["UDP"]}};
    for (const auto& [kind, where] : runs) {
        SCOPED_TRACE(kind);
        const SlaveRun run =
            RunProgramToEnd(VORNAK_PYTHON, {VORNAK_PYMODBUS_PROFILES, kind, where}, 60s);
        if (run.out.rfind("no pymodbus", 0) == 0) {
            GTEST_SKIP() << "no pymodbus (scripts/deps.sh installs python3-pymodbus)";
        }
        ASSERT_EQ(run.status, 0) << run.out << run.err;
        std::map<std::string, std::string> results = Results(run.out);
        std::map<std::string, std::string> wanted = expected;
        if (kind != "tcp") {
            wanted["f_abcd"] = "3.14159";
        }
        for (const auto& [name, value] : wanted) {
            EXPECT_EQ(results[name], value) << name;
        }
        // A sine of amplitude 5 around 50, period 1 s, read 12 times over 1.2 s: it moves and
        // stays within its bounds.
        std::istringstream waves(results["wave"]);
        double low = 100;
        double high = 0;
        int count = 0;
        for (double value = 0; waves >> value; ++count) {
            EXPECT_GE(value, 45.0 - 1e-3);
            EXPECT_LE(value, 55.0 + 1e-3);
            low = std::min(low, value);
            high = std::max(high, value);
        }
        EXPECT_EQ(count, 12) << results["wave"];
        EXPECT_GT(high - low, 5.0) << results["wave"];
    }
}

TEST_F(ProfileServing, MbpollReadsTypedPointsAndHolesOverTheLine) {
    // mbpoll takes 32-bit values low word first unless told -B: CDAB, then ABCD.
    const struct {
        std::vector<std::string> args;
        std::string expected;
    } cases[] = {
        {{"-t", "4:float", "-r", "3", "-c", "1"}, "[3]: \t1234.5"},
        {{"-t", "4:float", "-B", "-r", "1", "-c", "1"}, "[1]: \t1234.5"},
        {{"-t", "3:int", "-B", "-r", "2", "-c", "1"}, "[2]: \t12345"},
        {{"-t", "4", "-r", "1", "-c", "10"}, "Illegal data address"},
        {{"-a", "2", "-t", "4", "-r", "101", "-c", "1"}, "[101]: \t42"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"-m", "rtu", "-b", "9600", "-P", "none", "-1", "-o", "1"};
        if (c.args.front() != "-a") {
            args.insert(args.end(), {"-a", "1"});
        }
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.push_back(m_slave.Path());
        const SlaveRun run = RunProgramToEnd("/usr/bin/mbpoll", args, 10s);
        if (run.status == 127 || run.err.find("No such file") != std::string::npos) {
            GTEST_SKIP() << "no mbpoll (scripts/deps.sh installs it)";
        }
        EXPECT_NE((run.out + run.err).find(c.expected), std::string::npos) << c.args[1] << "\n"
                                                                           << run.out << run.err;
    }
}

}  // namespace

namespace {

// The plant of examples/ as a user starts it, on a pseudo-terminal and TCP at once: each unit
// answers with its own identity, the meters' float32 CDAB voltages read by vornak-poll over the
// line and by mbpoll over TCP, and a set point set through --send is what the master reads.
TEST(PlantExample, ServesThreeMetersAndADriveOnTheLineAndTcpAtOnce) {
    char folder[] = "/tmp/vornak-plantXXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::string link = std::string(folder) + "/plant";
    const std::string control = std::string(folder) + "/control";
    CSlaveProcess slave;
    ASSERT_TRUE(slave.Start({"--config", std::string(VORNAK_SOURCE_DIR) + "/examples/plant.toml",
                             "--link", link, "--tcp", "0", "--control", control}))
        << slave.FirstLine();
    ASSERT_TRUE(slave.WaitForLines(
        [](const std::string& l) { return l.find("(TCP, id 1,2,3,10)") != std::string::npos; }, 1,
        2s));
    std::string tcp;
    for (const std::string& line : slave.Lines()) {
        static const std::regex address(R"(listening on (127\.0\.0\.1:\d+) \(TCP)");
        std::smatch m;
        if (std::regex_search(line, m, address)) {
            tcp = m.str(1);
        }
    }
    const auto poll = [](std::vector<std::string> args) {
        return RunProgramToEnd(VORNAK_POLL_PATH, args, 10s);
    };

    const SlaveRun voltages = poll({"-b", "19200", "--parity", "even", "-a", "1", "-f", "4", "-c",
                                    "3", "-T", "float32", "--order", "CDAB", "-o", "csv", link});
    EXPECT_EQ(voltages.status, 0) << voltages.out << voltages.err;
    static const std::regex row(R"(,1,4,[024],float32,(\d+\.?\d*),OK)");
    int rows = 0;
    std::smatch m;
    for (auto it = std::sregex_iterator(voltages.out.begin(), voltages.out.end(), row);
         it != std::sregex_iterator(); ++it, ++rows) {
        EXPECT_NEAR(std::stod(it->str(1)), 230.0, 4.0) << it->str(0);
    }
    EXPECT_EQ(rows, 3) << voltages.out;

    const SlaveRun identities = poll({"-m", "tcp", "-a", "1,10", "--identify", "-o", "json", tcp});
    EXPECT_NE(identities.out.find(
                  R"({"slave":1,"object":"UserApplicationName","value":"feeder 3 incomer"})"),
              std::string::npos)
        << identities.out;
    EXPECT_NE(identities.out.find(R"({"slave":10,"object":"VendorName","value":"Quorvix Drives"})"),
              std::string::npos)
        << identities.out;

    const SlaveRun set = RunSlaveToEnd({"--send", control, "set", "10", "speed_setpoint", "30"});
    EXPECT_EQ(set.out, "ok speed_setpoint = 30 Hz\n");
    const SlaveRun setpoint = poll({"-m", "tcp", "-a", "10", "-r", "1", "-o", "csv", tcp});
    EXPECT_NE(setpoint.out.find(",10,3,1,300,OK"), std::string::npos) << setpoint.out;

    const SlaveRun hole = poll({"-m", "tcp", "-a", "1", "-r", "500", tcp});
    EXPECT_NE(hole.out.find("Exception Code 2"), std::string::npos) << hole.out;

    const SlaveRun mbpoll =
        RunProgramToEnd("/usr/bin/mbpoll",
                        {"-m", "tcp", "-p", tcp.substr(tcp.rfind(':') + 1), "-a", "2", "-t",
                         "3:float", "-r", "1", "-c", "3", "-1", "127.0.0.1"},
                        10s);
    if (mbpoll.status != 127) {
        static const std::regex value(R"(\[1\]: \t(\d+\.?\d*))");
        ASSERT_TRUE(std::regex_search(mbpoll.out, m, value)) << mbpoll.out << mbpoll.err;
        EXPECT_NEAR(std::stod(m.str(1)), 230.0, 4.0);
    }
    EXPECT_EQ(slave.Stop(SIGTERM), 0);
    ::rmdir(folder);
}

}  // namespace
