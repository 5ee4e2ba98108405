// vornak-poll against pymodbus's server over Modbus TCP and UDP: every function the master
// has, the values checked against the script's datastore, writes read back, and the answers a
// device gives to a bad address and a unit it is not.

#include <gtest/gtest.h>

#include <iterator>
#include <regex>
#include <sstream>

#include "PymodbusServer.h"
#include "SlaveProcess.h"

using namespace std::chrono_literals;

namespace {

std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    return {std::istream_iterator<std::string>(in), {}};
}

// "status|function address [values] text" from vornak-poll's JSON line.
std::string Poll(const std::string& args) {
    static const std::regex answer(
        R"re("function":(\d+),"address":(\d+),"values":(\[[^\]]*\]),"code":\d+,"text":"([^"]*)")re");
    const SlaveRun run = RunProgramToEnd(VORNAK_POLL_PATH, Words(args + " -o json"), 20s);
    std::smatch m;
    if (!std::regex_search(run.out, m, answer)) {
        return std::to_string(run.status) + "|" + run.out + run.err;
    }
    return std::to_string(run.status) + "|" + m.str(1) + " " + m.str(2) + " " + m.str(3) + " " +
           m.str(4);
}

// The script's input registers: 0xA000 + address, all 125.
std::string InputRegisters() {
    std::string values;
    for (int i = 0; i < 125; ++i) {
        values.push_back(i == 0 ? '[' : ',');
        values.append(std::to_string(0xA000 + i));
    }
    return values + "]";
}

class PymodbusPoll : public ::testing::TestWithParam<std::string> {};

TEST_P(PymodbusPoll, EveryFunctionReadsAndWritesTheDatastore) {
    const std::string kind = GetParam();
    CPymodbusServer server;
    const int port = CPymodbusServer::FreePort(kind);
    ASSERT_NE(port, 0);
    const CPymodbusServer::Outcome started = server.Start(kind, port);
    if (started == CPymodbusServer::Outcome::Missing) {
        GTEST_SKIP() << "python3-pymodbus is missing (scripts/deps.sh installs it): "
                     << server.Said();
    }
    ASSERT_EQ(started, CPymodbusServer::Outcome::Ready) << server.Said();

    // In order: each write is read back by the row after it.
    const std::pair<std::string, std::string> cases[] = {
        {"-f 1 -c 17", "0|1 0 [1,0,1,1,0,0,1,0,1,1,1,1,0,0,0,0,1] OK"},
        {"-f 2 --ref 10003 -c 8", "0|2 2 [1,0,1,0,0,1,1,0] OK"},
        {"-f 3 -c 8", "0|3 0 [4660,65535,0,1,40000,32768,255,12345] OK"},
        {"-f 4 --ref 30121 -c 5", "0|4 120 [41080,41081,41082,41083,41084] OK"},
        {"-f 4 -c 125", "0|4 0 " + InputRegisters() + " OK"},
        {"-f 1 -r 5 -w 1", "0|5 5 [1] OK"},
        {"-f 1 -r 4 -c 3", "0|1 4 [0,1,1] OK"},
        {"-f 1 -r 2 -w 0", "0|5 2 [0] OK"},
        {"-f 1 -c 4", "0|1 0 [1,0,0,1] OK"},
        {"-r 2 -w 0xBEEF", "0|6 2 [48879] OK"},
        {"-r 1 -c 3", "0|3 1 [65535,48879,1] OK"},
        {"-r 100 -c 2", "1|3 100 [] Slave Device Return an Exception Code 2"},
        {"-a 2 -t 300", "1|3 0 [] Time-out Error"},
    };
    const std::string line = " -m " + kind + " 127.0.0.1:" + std::to_string(port);
    for (const auto& [args, expected] : cases) {
        EXPECT_EQ(Poll(args + line), expected) << args;
    }
}

INSTANTIATE_TEST_SUITE_P(Network, PymodbusPoll, ::testing::Values("tcp", "udp"));

}  // namespace
