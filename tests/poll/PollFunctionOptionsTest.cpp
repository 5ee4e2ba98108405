// The options of the functions beyond the tables' reads and writes, and of a raw PDU.
#include <gtest/gtest.h>

#include "tools/poll/PollOptions.h"

namespace {

using poll::ParsePollOptions;
using poll::PollOptions;
using Action = poll::PollParse::Action;
using Regs = std::vector<std::uint16_t>;

// "1,1,...": n values.
std::string Ones(std::size_t n) {
    std::string list = "1";
    for (std::size_t i = 1; i < n; ++i) {
        list += ",1";
    }
    return list;
}

TEST(PollFunctionOptions, EachFunctionTakesItsFields) {
    const struct {
        std::vector<std::string> args;
        bool (*holds)(const PollOptions&);
    } cases[] = {
        {{"-f", "7", "COM1"}, [](const PollOptions& o) { return poll::RequestFunction(o) == 7; }},
        {{"-f", "8", "--sub", "0", "-w", "0xA537,1", "COM1"},
         [](const PollOptions& o) {
             return o.subFunction == 0 && o.write == Regs{0xA537, 1};
         }},
        {{"-f", "8", "--sub", "11", "COM1"},
         [](const PollOptions& o) { return o.subFunction == 11 && o.write == Regs{0}; }},
        {{"-f", "20", "--file", "4", "-r", "1", "-c", "2", "COM1"},
         [](const PollOptions& o) { return o.file == 4 && o.address == 1 && o.count == 2; }},
        {{"-f", "21", "--file", "4", "-r", "7", "-w", "0x06AF,0x04BE", "COM1"},
         [](const PollOptions& o) {
             return poll::RequestFunction(o) == 21 && o.write == Regs{0x06AF, 0x04BE};
         }},
        {{"-f", "22", "-r", "4", "--and", "0xF2", "--or", "37", "COM1"},
         [](const PollOptions& o) {
             return o.address == 4 && o.andMask == 0xF2 && o.orMask == 37;
         }},
        {{"-f", "23", "-r", "3", "-c", "6", "--write-address", "14", "-w", "255,255,255", "COM1"},
         [](const PollOptions& o) {
             return poll::RequestFunction(o) == 23 && o.address == 3 && o.count == 6 &&
                    o.writeAddress == 14 && o.write == Regs{255, 255, 255};
         }},
        {{"-f", "23", "-T", "float32", "-c", "2", "--write-address", "0", "-w", "1.5", "COM1"},
         [](const PollOptions& o) { return o.count == 4 && o.write.size() == 2; }},
        {{"-f", "24", "-r", "0x04DE", "COM1"},
         [](const PollOptions& o) { return o.address == 1246; }},
        {{"--raw", "41 01:0a", "COM1"},
         [](const PollOptions& o) {
             return o.raw == std::vector<std::uint8_t>{0x41, 0x01, 0x0A} &&
                    poll::RequestFunction(o) == 0x41;
         }},
        {{"-f", "22", "-a", "0", "-r", "1", "--and", "0", "--or", "1", "COM1"},
         [](const PollOptions& o) { return o.slaves == std::vector<std::uint8_t>{0}; }},
    };
    for (const auto& c : cases) {
        const auto parsed = ParsePollOptions(c.args);
        EXPECT_EQ(parsed.action, Action::Run) << c.args[0] << " " << parsed.error;
        EXPECT_TRUE(c.holds(parsed.options)) << c.args[0] << " " << c.args[1];
    }
}

TEST(PollFunctionOptions, RefusesWhatAFunctionDoesNotTake) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"-f", "9", "COM1"}, "bad value for --function: '9' (1, 2, 3 or 4, or 7, 8"},
        {{"-f", "7", "-r", "1", "COM1"}, "-f 7 takes no --address"},
        {{"-f", "11", "-c", "2", "COM1"}, "-f 11 takes no --count"},
        {{"-f", "24", "-w", "1", "COM1"}, "-f 24 takes no --write"},
        {{"-f", "8", "COM1"}, "-f 8 needs --sub N"},
        {{"--sub", "1", "COM1"}, "--sub, --and, --or, --write-address and --file go with"},
        {{"-f", "7", "--sub", "1", "COM1"}, "--sub goes with -f 8"},
        {{"-f", "22", "-r", "1", "--and", "1", "COM1"}, "-f 22 needs --and MASK and --or MASK"},
        {{"-f", "20", "-r", "1", "COM1"}, "-f 20 needs --file N"},
        {{"-f", "21", "--file", "1", "COM1"}, "-f 21 needs --write LIST"},
        {{"-f", "23", "-c", "2", "COM1"}, "-f 23 needs --write-address A and --write LIST"},
        {{"-f", "23", "-c", "126", "--write-address", "0", "-w", "1", "COM1"},
         "bad value for --count: 126 (1 to 125 registers for -f 23)"},
        {{"-f", "23", "--write-address", "0", "-w", Ones(122), "COM1"},
         "--write: 122 registers are more than one request takes (121)"},
        {{"-f", "24", "-a", "0", "COM1"}, "--slave 0 broadcasts and takes writes only"},
        {{"-f", "7", "-T", "float32", "COM1"}, "--type goes with registers read or written"},
        {{"-f", "7", "--scan", "COM1"}, "--scan reads with -f 1 to 4; it takes no -f 7"},
        {{"--raw", "03 0", "COM1"}, "bad value for --raw: '03 0' (a PDU in hex"},
        {{"--raw", "zz", "COM1"}, "bad value for --raw"},
        {{"--raw", std::string(254 * 2, '1'), "COM1"}, "at most 253 bytes"},
        {{"--raw", "03", "-f", "3", "COM1"}, "--raw is the whole request"},
        {{"--raw", "03", "-a", "0", "COM1"}, "--raw asks 1 to 255"},
        // The list's limit said as what it is, and a long argument not echoed whole.
        {{"-a", "1-255,1-255", "COM1"}, "--slave: at most 256 addresses in one list"},
        {{"-b", std::string(130000, '9'), "COM1"}, "... (130000 characters)' (1 to 4000000"},
    };
    for (const auto& [args, error] : cases) {
        const auto parsed = ParsePollOptions(args);
        EXPECT_EQ(parsed.action, Action::Error) << error;
        EXPECT_NE(parsed.error.find(error), std::string::npos) << parsed.error;
        EXPECT_LT(parsed.error.size(), 300u) << error;
    }
}

}  // namespace
