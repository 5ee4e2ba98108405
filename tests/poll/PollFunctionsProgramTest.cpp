// Every function beyond the tables' reads and writes, vornak-poll asking vornak-slave as a
// user does, on a pseudo-terminal in RTU and ASCII and over Modbus TCP.

#include <gtest/gtest.h>

#include <iterator>
#include <sstream>

#include "SlaveProcess.h"

using namespace std::chrono_literals;

namespace {

std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    return {std::istream_iterator<std::string>(in), {}};
}

class PollFunctions : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        const bool network = GetParam() == "tcp";
        ASSERT_TRUE(m_slave.Start(network ? std::vector<std::string>{"--tcp", "0"}
                                          : std::vector<std::string>{"--mode", GetParam()}));
    }
    std::string Run(const std::string& args) {
        std::vector<std::string> words = Words(args);
        for (const std::string& word : {std::string("-m"), GetParam(), m_slave.Path()}) {
            words.push_back(word);
        }
        const SlaveRun run = RunProgramToEnd(VORNAK_POLL_PATH, words, 20s);
        return std::to_string(run.status) + "|" + run.out + "|" + run.err;
    }
    CSlaveProcess m_slave;
};

TEST_P(PollFunctions, EachFunctionAskedAndItsAnswerPrinted) {
    // In order: the counters count what came before them.
    const std::pair<std::string, std::string> cases[] = {
        {"-f 11", "0|status = 0x0000\nevents = 0\nOK\n|"},
        {"-f 7", "0|status = 0x00\noutputs 1-8 = 00000000\nOK\n|"},
        {"-f 1 -r 2 -w 1", "0|[Address : 0x0002 / 3 ] = 0x0001, 1\nOK\n|"},
        {"-f 7", "0|status = 0x04\noutputs 1-8 = 00100000\nOK\n|"},
        {"-f 8 --sub 0 -w 0xA537,0x0102", "0|sub-function = 0\nvalues = 0xA537 0x0102\nOK\n|"},
        {"-f 8 --sub 2", "0|sub-function = 2\nvalues = 0x0000\nOK\n|"},
        {"-f 8 --sub 3",
         "1|sub-function = 3\nSlave Device Return an Exception Code 1\n|"
         "vornak-poll: Slave Device Return an Exception Code 1\n"},
        {"-f 11", "0|status = 0x0000\nevents = 5\nOK\n|"},
        {"-r 4 -w 0x0012", "0|[Address : 0x0004 / 40005 ] = 0x0012, 18\nOK\n|"},
        {"-f 22 -r 4 --and 0xF2 --or 0x25", "0|and = 0x00F2\nor = 0x0025\nOK\n|"},
        {"-f 23 -r 3 -c 3 --write-address 5 -w 7,8",
         "0|written = 2 at 5\n"
         "[Address : 0x0003 / 3 ] = 0x0000, 0\n"
         "[Address : 0x0004 / 4 ] = 0x0017, 23\n"
         "[Address : 0x0005 / 5 ] = 0x0007, 7\nOK\n|"},
        {"-f 24 -r 0",
         "0|count = 8\nvalues = 0xF000 0xF001 0xF002 0xF003 0xF004 0xF005 "
         "0xF006 0xF007\nOK\n|"},
        {"-f 20 --file 4 -r 1 -c 2",
         "0|file = 4\n[Address : 0x0001 / 1 ] = 0x0401, 1025\n"
         "[Address : 0x0002 / 2 ] = 0x0402, 1026\nOK\n|"},
        {"-f 21 --file 4 -r 2 -w 0xBEEF",
         "0|file = 4\n[Address : 0x0002 / 2 ] = 0xbeef, 48879\nOK\n|"},
        {"-f 20 --file 4 -r 1 -c 2 -o json",
         R"(0|{"time":"@","slave":1,"function":20,"address":1,"values":[1025,48879],)"
         R"("fields":{"file":"4"},"code":0,"text":"OK"})"
         "\n|"},
        {"--raw 0300040001", "0|request = 03 00 04 00 01\nanswer = 03 02 00 17\nOK\n|"},
        {"--raw 030004",
         "1|request = 03 00 04\nanswer = 83 03\nexception = 3 (Illegal Data "
         "Value)\nSlave Device Return an Exception Code 3\n|"
         "vornak-poll: Slave Device Return an Exception Code 3\n"},
        {"--raw 41",
         "1|request = 41\nanswer = C1 01\nexception = 1 (Illegal Function)\n"
         "Slave Device Return an Exception Code 1\n|"
         "vornak-poll: Slave Device Return an Exception Code 1\n"},
    };
    for (const auto& [args, expected] : cases) {
        SCOPED_TRACE(args);
        std::string got = Run(args);
        const auto at = got.find("\"time\":\"");
        if (at != std::string::npos) {
            got.replace(at + 8, got.find('"', at + 8) - at - 8, "@");
        }
        EXPECT_EQ(got, expected);
    }
}

INSTANTIATE_TEST_SUITE_P(RtuAsciiTcp, PollFunctions, ::testing::Values("rtu", "ascii", "tcp"));

}  // namespace
