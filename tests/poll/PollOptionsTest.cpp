#include "tools/poll/PollOptions.h"

#include <gtest/gtest.h>

using poll::OutputFormat;
using poll::ParsePollOptions;
using poll::PollOptions;
using Action = poll::PollParse::Action;

TEST(PollOptions, TakesEachOptionInTheMastersCodes) {
    const struct {
        std::vector<std::string> args;
        bool (*holds)(const PollOptions&);
    } cases[] = {
        {{"COM1"},
         [](const PollOptions& o) {
             return o.comPort == 1 && o.baud == 9600 && o.parity == 0 && o.dataBits == 8 &&
                    o.stopBits == 0;
         }},
        {{"-m", "ascii", "-b19200", "--parity=even", "--data-bits", "7", "--stop-bits", "2",
          "--flow", "rtscts", "-t", "250", "--char-interval", "20", "com16"},
         [](const PollOptions& o) {
             return o.mode == 1 && o.baud == 19200 && o.parity == 2 && o.dataBits == 7 &&
                    o.stopBits == 2 && o.flow == 0x02 && o.timeoutMs == 250 &&
                    o.charIntervalMs == 20 && o.comPort == 16;
         }},
        {{"/dev/ttyUSB0", "-a", "247", "-f", "4", "-r", "0x10", "-c", "125", "-o", "json", "-n",
          "0", "-i", "0", "--trace", "/tmp/t"},
         [](const PollOptions& o) {
             return o.comPort == 0 && o.port == "/dev/ttyUSB0" && o.slave == 247 &&
                    o.function == 4 && o.address == 0x10 && o.count == 125 &&
                    o.format == OutputFormat::Json && o.polls == 0 && o.intervalMs == 0 &&
                    o.trace == "/tmp/t";
         }},
        {{"--ref", "00001", "-f", "1", "-c", "2000", "COM1"},
         [](const PollOptions& o) { return o.address == 0 && o.count == 2000; }},
        {{"-f", "2", "--ref", "19999", "COM1"},
         [](const PollOptions& o) { return o.address == 9998; }},
        {{"-w", "1A2Bh", "COM1"}, [](const PollOptions& o) { return o.write == 0x1A2B; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const auto parsed = ParsePollOptions(c.args);
        EXPECT_EQ(parsed.action, Action::Run) << parsed.error;
        EXPECT_TRUE(c.holds(parsed.options));
    }
}

TEST(PollOptions, RefusesWithAOneLineReason) {
    const std::tuple<std::vector<std::string>, Action, std::string> cases[] = {
        {{"-h"}, Action::Help, ""},
        {{"COM1", "--version"}, Action::Version, ""},
        {{}, Action::Error, "no PORT"},
        {{"COM1", "COM2"}, Action::Error, "unexpected 'COM2'"},
        {{"COM17"}, Action::Error, "bad PORT 'COM17'"},
        {{"-b", "9601", "COM1"}, Action::Error, "bad value for --baud: '9601'"},
        {{"--mode", "modbus", "COM1"}, Action::Error, "rtu, ascii, tcp or udp"},
        {{"-a", "0", "COM1"}, Action::Error, "--slave"},
        {{"-c", "126", "COM1"}, Action::Error, "1 to 125 for function 3"},
        {{"-f", "1", "-c", "2001", "COM1"}, Action::Error, "1 to 2000"},
        {{"-r", "65535", "-c", "2", "COM1"}, Action::Error, "past address 65535"},
        {{"-r", "12x", "COM1"}, Action::Error, "--address"},
        {{"--ref", "30001", "COM1"}, Action::Error, "not a reference of function 3"},
        {{"--ref", "40001", "-f", "4", "COM1"}, Action::Error, "(30001 to 39999)"},
        {{"--ref", "40001", "-r", "1", "COM1"}, Action::Error, "not both"},
        {{"-w", "65536", "COM1"}, Action::Error, "--write"},
        {{"-w", "1", "-f", "4", "COM1"}, Action::Error, "function 3"},
        {{"-w", "2", "-f", "1", "COM1"}, Action::Error, "1 (on) or 0 (off)"},
        {{"-w", "1", "-c", "2", "COM1"}, Action::Error, "leave --count at 1"},
        {{"-o", "xml", "COM1"}, Action::Error, "table, csv or json"},
        {{"COM1", "-c"}, Action::Error, "--count needs a value"},
        {{"--colour", "COM1"}, Action::Error, "unknown option --colour"},
    };
    for (const auto& [args, action, error] : cases) {
        SCOPED_TRACE(::testing::PrintToString(args));
        const auto parsed = ParsePollOptions(args);
        EXPECT_EQ(parsed.action, action) << parsed.error;
        EXPECT_NE(parsed.error.find(error), std::string::npos) << parsed.error;
        EXPECT_EQ(parsed.error.find('\n'), std::string::npos);
    }
}
