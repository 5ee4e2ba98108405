// vornak-poll's functions beyond reads and writes (7, 8, 11, 12, 17, 20 to 24, 43/14 and any
// raw PDU) against pymodbus's Modbus server (pymodbus_server.py beside this file) over TCP, UDP
// and an RTU line: the request as the server took it, byte for byte, and what vornak-poll made
// of the answer. pymodbus's server keeps counters, a diagnostic register, an event log and an
// identity the script sets, answers function 20 with no record and function 24 with an empty
// queue, and gives no answer to force listen only.

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

// "status|function address [values] {fields} text" from vornak-poll's JSON line.
std::string Summary(const SlaveRun& run) {
    static const std::regex answer(R"re("function":(\d+),"address":(\d+),"values":(\[[^\]]*\]))re"
                                   R"re((,"fields":\{[^}]*\})?,"code":\d+,"text":"([^"]*)")re");
    std::smatch m;
    if (!std::regex_search(run.out, m, answer)) {
        return std::to_string(run.status) + "|" + run.out + run.err;
    }
    const std::string fields = m.length(4) > 0 ? m.str(4).substr(10) + " " : "";
    return std::to_string(run.status) + "|" + m.str(1) + " " + m.str(2) + " " + m.str(3) + " " +
           fields + m.str(5);
}

struct Case {
    std::string args;
    std::string expected;  // the Summary
    std::string request;   // the PDU the server took, in hex
    // pymodbus's RTU server finds a frame's end by its function's length: it never takes a
    // function it lacks, and loses the next request with it.
    bool onRtu = true;
};

// In order on one server: each write is read back by a row after it, and the clear of the
// counters comes after the rows that read them.
const Case kCases[] = {
    {"-r 2 -w 0x0012", "0|6 2 [18] OK", "06 00 02 00 12"},
    // The published example: 0012 AND 00F2 OR (0025 AND NOT 00F2) is 0017.
    {"-f 22 -r 2 --and 0x00F2 --or 0x0025", R"(0|22 2 [] {"and":"0x00F2","or":"0x0025"} OK)",
     "16 00 02 00 F2 00 25"},
    {"-r 2", "0|3 2 [23] OK", "03 00 02 00 01"},
    // Written before the read, which sees it.
    {"-f 23 -r 0 -c 4 --write-address 1 -w 0xAAAA,0xBBBB",
     R"(0|23 0 [4660,43690,48059,1] {"written":"2 at 1"} OK)",
     "17 00 00 00 04 00 01 00 02 04 AA AA BB BB"},
    {"-r 0 -c 4", "0|3 0 [4660,43690,48059,1] OK", "03 00 00 00 04"},
    {"-f 8 --sub 0 -w 0xA537", R"(0|8 0 [42295] {"sub-function":"0"} OK)", "08 00 00 A5 37"},
    {"-f 8 --sub 1 -w 0xFF00", R"(0|8 0 [65280] {"sub-function":"1"} OK)", "08 00 01 FF 00"},
    // pymodbus sends its diagnostic bits 0 to 7, then 8 to 15.
    {"-f 8 --sub 2", R"(0|8 0 [258] {"sub-function":"2"} OK)", "08 00 02 00 00"},
    {"-f 8 --sub 11", R"(0|8 0 [11] {"sub-function":"11"} OK)", "08 00 0B 00 00"},
    {"-f 8 --sub 12", R"(0|8 0 [0] {"sub-function":"12"} OK)", "08 00 0C 00 00"},
    {"-f 8 --sub 13", R"(0|8 0 [13] {"sub-function":"13"} OK)", "08 00 0D 00 00"},
    {"-f 8 --sub 14", R"(0|8 0 [14] {"sub-function":"14"} OK)", "08 00 0E 00 00"},
    {"-f 8 --sub 15", R"(0|8 0 [0] {"sub-function":"15"} OK)", "08 00 0F 00 00"},
    {"-f 8 --sub 16", R"(0|8 0 [16] {"sub-function":"16"} OK)", "08 00 10 00 00"},
    {"-f 8 --sub 17", R"(0|8 0 [0] {"sub-function":"17"} OK)", "08 00 11 00 00"},
    {"-f 8 --sub 18", R"(0|8 0 [18] {"sub-function":"18"} OK)", "08 00 12 00 00"},
    // The counters that are not zero are the status bits, output 1 the lowest.
    {"-f 7", R"(0|7 0 [] {"status":"0xAD","outputs 1-8":"10110101"} OK)", "07"},
    {"-f 11", R"(0|11 0 [] {"status":"0x0000","events":"3"} OK)", "0B"},
    {"-f 12", R"(0|12 0 [] {"status":"0x0000","events":"3","messages":"11","log":"41 04 00"} OK)",
     "0C"},
    // pymodbus answers 14 00, no sub-response for the one asked: an answer of another length
    // than the request implies, which the master names a CRC error on every line.
    {"-f 20 --file 1 -r 0 -c 2", R"(1|20 0 [] {"file":"1"} CRC Error)",
     "14 07 06 00 01 00 00 00 02"},
    // The answer is the request's echo.
    {"-f 21 --file 1 -r 0 -w 1,2", R"(0|21 0 [1,2] {"file":"1"} OK)",
     "15 0B 06 00 01 00 00 00 02 00 01 00 02"},
    // An empty queue: byte count 2, FIFO count 0.
    {"-f 24 -r 0", R"(0|24 0 [] {"count":"0"} OK)", "18 00 00"},
    // pymodbus's server id is its identity's texts joined by '-', the run indicator last.
    {"--raw 11",
     R"(0|17 0 [] {"request":"11",)"
     R"("answer":"11 11 50 79 56 65 6E 64 6F 72 2D 50 59 43 2D 33 2E 30 FF"} OK)",
     "11"},
    {"--raw 0300000002", R"(0|3 0 [] {"request":"03 00 00 00 02","answer":"03 04 12 34 AA AA"} OK)",
     "03 00 00 00 02"},
    {"--raw 41",
     R"x(1|65 0 [] {"request":"41","answer":"C1 01","exception":"1 (Illegal Function)"} )x"
     "Slave Device Return an Exception Code 1",
     "41", false},
    // Clear counters also empties pymodbus's event log.
    {"-f 8 --sub 10", R"(0|8 0 [0] {"sub-function":"10"} OK)", "08 00 0A 00 00"},
    {"-f 8 --sub 11", R"(0|8 0 [0] {"sub-function":"11"} OK)", "08 00 0B 00 00"},
    {"-f 12", R"(0|12 0 [] {"status":"0x0000","events":"0","messages":"0","log":""} OK)", "0C"},
    // Force listen only has no answer, by the protocol: none is the exchange's good end.
    {"-f 8 --sub 4", R"(0|8 0 [] {"sub-function":"4"} OK)", "08 00 04 00 00"},
};

// The server for the parameter's kind, "tcp", "udp" or "rtu"; skipped without pymodbus.
class PymodbusFunctions : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        server.emplace();
        server->StartProgram(VORNAK_PYTHON, {VORNAK_PYMODBUS_SERVER, GetParam()}, 20s);
        const std::string& first = server->FirstLine();
        if (first.rfind("no pymodbus", 0) == 0) {
            GTEST_SKIP() << first << " (scripts/deps.sh installs python3-pymodbus)";
        }
        where = first.rfind("ready ", 0) == 0 ? first.substr(6) : "";
        ASSERT_FALSE(where.empty()) << first;
    }

    std::vector<std::string> Args(const std::string& args) const {
        std::vector<std::string> all = Words(args);
        const std::vector<std::string> line = {
            "-m", GetParam(), GetParam() == "rtu" ? where : "127.0.0.1:" + where, "-t", "500"};
        all.insert(all.end(), line.begin(), line.end());
        return all;
    }

    // The requests the server logged since the count'th.
    std::vector<std::string> RequestsSince(std::size_t count, std::size_t atLeast) {
        server->WaitForLines([](const std::string& l) { return l.rfind("rx ", 0) == 0; },
                             count + atLeast, 5s);
        std::vector<std::string> requests;
        for (const std::string& line : server->Lines()) {
            if (line.rfind("rx ", 0) == 0) {
                requests.push_back(line.substr(3));
            }
        }
        requests.erase(requests.begin(), requests.begin() + static_cast<std::ptrdiff_t>(
                                                                std::min(count, requests.size())));
        return requests;
    }

    std::size_t RequestCount() {
        std::size_t n = 0;
        for (const std::string& line : server->Lines()) {
            n += line.rfind("rx ", 0) == 0 ? 1 : 0;
        }
        return n;
    }

    std::optional<CSlaveProcess> server;
    std::string where;  // the port, or the path of the line's other end
};

TEST_P(PymodbusFunctions, EachRequestIsSentAndItsAnswerRead) {
    for (const Case& c : kCases) {
        if (GetParam() == "rtu" && !c.onRtu) {
            continue;
        }
        const std::size_t before = RequestCount();
        const SlaveRun run = RunProgramToEnd(VORNAK_POLL_PATH, Args(c.args + " -o json"), 20s);
        EXPECT_EQ(Summary(run), c.expected) << c.args;
        EXPECT_EQ(RequestsSince(before, 1), std::vector<std::string>{c.request}) << c.args;
    }
}

TEST_P(PymodbusFunctions, IdentificationReadsTheBasicObjects) {
    const std::size_t before = RequestCount();
    const SlaveRun run = RunProgramToEnd(VORNAK_POLL_PATH, Args("--identify -o json"), 20s);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "{\"slave\":1,\"object\":\"VendorName\",\"value\":\"PyVendor\"}\n"
              "{\"slave\":1,\"object\":\"ProductCode\",\"value\":\"PYC\"}\n"
              "{\"slave\":1,\"object\":\"MajorMinorRevision\",\"value\":\"3.0\"}\n");
    const std::vector<std::string> requests = RequestsSince(before, 1);
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.front(), "2B 0E 01 00");  // basic, from object 0
}

INSTANTIATE_TEST_SUITE_P(Lines, PymodbusFunctions, ::testing::Values("tcp", "udp", "rtu"));

}  // namespace
