// vornak-poll against pymodbus's Modbus server (pymodbus_server.py beside this
// file) over TCP, UDP and an RTU line, the values checked against the script's datastore.

#include <gtest/gtest.h>

#include <iterator>
#include <optional>
#include <regex>
#include <sstream>

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
    std::string values = "[";
    for (int i = 0; i < 125; ++i) {
        values.append(i == 0 ? "" : ",").append(std::to_string(0xA000 + i));
    }
    return values + "]";
}

// The server for the parameter's kind, "tcp", "udp" or "rtu"; skipped without pymodbus.
class Pymodbus : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        server.emplace();
        server->StartProgram(VORNAK_PYTHON, {VORNAK_PYMODBUS_SERVER, GetParam()}, 20s);
        const std::string& first = server->FirstLine();
        where = first.rfind("ready ", 0) == 0 ? first.substr(6) : "";
        if (server->FirstLine().rfind("no pymodbus", 0) == 0) {
            GTEST_SKIP() << server->FirstLine() << " (scripts/deps.sh installs python3-pymodbus)";
        }
        ASSERT_FALSE(where.empty()) << server->FirstLine();
    }
    // vornak-poll's line to the server.
    std::string Line() const {
        return " -m " + GetParam() + (GetParam() == "rtu" ? " " : " 127.0.0.1:") + where;
    }

    std::optional<CSlaveProcess> server;
    std::string where;  // the port, or the path of the line's other end
};

TEST_P(Pymodbus, EveryFunctionReadsAndWritesTheDatastore) {
    // In order: each write is read back by the row after it.
    const std::pair<std::string, std::string> cases[] = {
        {"-f 1 -c 17", "0|1 0 [1,0,1,1,0,0,1,0,1,1,1,1,0,0,0,0,1] OK"},
        {"-f 2 --ref 10003 -c 8", "0|2 2 [1,0,1,0,0,1,1,0] OK"},
        {"-f 3 -c 8", "0|3 0 [4660,65535,0,1,40000,32768,255,12345] OK"},
        {"-f 4 -c 125", "0|4 0 " + InputRegisters() + " OK"},
        {"-f 1 -r 2 -w 0", "0|5 2 [0] OK"},
        {"-r 2 -w 0xBEEF", "0|6 2 [48879] OK"},
        {"-r 3 -w 7,8", "0|16 3 [7,8] OK"},
        {"-f 1 -r 8 -w 1,0,1", "0|15 8 [1,0,1] OK"},
        {"-r 2 -c 3", "0|3 2 [48879,7,8] OK"},
        {"-f 1 -r 2 -c 9", "0|1 2 [0,1,0,0,1,0,1,0,1] OK"},
        {"-r 100 -c 2", "1|3 100 [] Slave Device Return an Exception Code 2"},
        {"-a 2 -t 300", "1|3 0 [] Time-out Error"},
    };
    for (const auto& [args, expected] : cases) {
        EXPECT_EQ(Poll(args + Line()), expected) << args;
    }
}

INSTANTIATE_TEST_SUITE_P(Lines, Pymodbus, ::testing::Values("tcp", "udp", "rtu"));

}  // namespace
