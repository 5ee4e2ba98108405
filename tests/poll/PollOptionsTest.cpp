#include "tools/poll/PollOptions.h"

#include <gtest/gtest.h>

using poll::OutputFormat;
using poll::ParsePollOptions;
using poll::PollOptions;
using Action = poll::PollParse::Action;
using poll::RequestFunction;
using Regs = std::vector<std::uint16_t>;

// "1,1,...": n values.
static std::string List(std::size_t n) {
    std::string list = "1";
    for (std::size_t i = 1; i < n; ++i)
        list += ",1";
    return list;
}

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
        {{"-w", List(123), "COM1"}, [](const PollOptions& o) { return o.count == 123; }},
        {{"-f", "1", "-w", List(1968), "COM1"},
         [](const PollOptions& o) { return o.count == 1968; }},
        {{"/dev/ttyUSB0", "-a", "247", "-f", "4", "-r", "0x10", "-c", "125", "-o", "json", "-n",
          "0", "-i", "0", "--trace", "/tmp/t"},
         [](const PollOptions& o) {
             return o.comPort == 0 && o.port == "/dev/ttyUSB0" &&
                    o.slaves == std::vector<std::uint8_t>{247} && o.function == 4 &&
                    o.address == 0x10 && o.count == 125 && o.format == OutputFormat::Json &&
                    o.polls == 0 && o.intervalMs == 0 && o.trace == "/tmp/t";
         }},
        {{"--ref", "00001", "-f", "1", "-c", "2000", "COM1"},
         [](const PollOptions& o) { return o.address == 0 && o.count == 2000; }},
        {{"-f", "2", "--ref", "19999", "COM1"},
         [](const PollOptions& o) { return o.address == 9998; }},
        {{"-w", "1A2Bh", "COM1"},
         [](const PollOptions& o) { return o.write == Regs{0x1A2B} && RequestFunction(o) == 6; }},
        // Lists and types: the registers each takes, and the function that writes them.
        {{"-w", "1,0x2,3h", "COM1"},
         [](const PollOptions& o) {
             return o.write == Regs{1, 2, 3} && o.count == 3 && RequestFunction(o) == 16;
         }},
        {{"-w", "7", "--multiple", "COM1"},
         [](const PollOptions& o) { return RequestFunction(o) == 16; }},
        {{"-f", "1", "-w", "1", "COM1"},
         [](const PollOptions& o) { return RequestFunction(o) == 5; }},
        {{"-f", "1", "-w", "1,0,1", "COM1"},
         [](const PollOptions& o) {
             return o.write == Regs{1, 0, 1} && RequestFunction(o) == 15;
         }},
        {{"-T", "float32", "--order", "CDAB", "-w", "3.5,-1e3", "COM1"},
         [](const PollOptions& o) {
             return o.write == Regs{0, 0x4060, 0x0000, 0xC47A} && RequestFunction(o) == 16 &&
                    o.valueCount == 2;
         }},
        {{"-T", "string", "-w", "a,b", "COM1"},
         [](const PollOptions& o) {
             return o.write == Regs{0x612C, 0x6200};
         }},
        {{"-T", "float64", "--order", "ghefcdab", "-c", "31", "-f", "4", "COM1"},
         [](const PollOptions& o) {
             return o.count == 124 && o.valueCount == 31 && o.order == poll::WordOrder::Cdab;
         }},
        {{"-T", "string", "-c", "9", "COM1"}, [](const PollOptions& o) { return o.count == 5; }},
        {{"-a", "1,3,5-7", "-b", "921600", "--retries", "10", "--turnaround", "0", "COM1"},
         [](const PollOptions& o) {
             return o.slaves == std::vector<std::uint8_t>{1, 3, 5, 6, 7} && o.baud == 921600 &&
                    o.retries == 10 && o.turnaroundMs == 0;
         }},
        {{"-a", "0", "-w", "5", "COM1"},
         [](const PollOptions& o) { return o.slaves == std::vector<std::uint8_t>{0}; }},
        // A scan: 1-247 unless given, and a time-out of the wire time (RTU at 9600: 8 + 7
        // characters of 11 bits, 18 ms) plus 50 ms.
        {{"--scan", "COM1"},
         [](const PollOptions& o) {
             return o.scan && o.slaves.size() == 247 && o.slaves.front() == 1 &&
                    o.slaves.back() == 247 && o.timeoutMs == 68;
         }},
        {{"--scan", "1-3,9", "COM1", "-t", "300"},
         [](const PollOptions& o) {
             return o.slaves == std::vector<std::uint8_t>{1, 2, 3, 9} && o.timeoutMs == 300;
         }},
        {{"COM1", "--scan=5", "-m", "ascii", "-b", "19200", "-c", "125"},
         [](const PollOptions& o) {
             // 17 + 511 characters, 303 ms of wire.
             return o.slaves == std::vector<std::uint8_t>{5} && o.timeoutMs == 353;
         }},
        {{"-a", "2-4", "--scan", "-m", "tcp", "host"},
         [](const PollOptions& o) { return o.slaves.size() == 3u && o.timeoutMs == 150; }},
        // Identification in a scan: 256 characters of 11 bits at 9600 (294 ms) plus 50 ms;
        // -t stands for both.
        {{"--scan", "--identify", "COM1"},
         [](const PollOptions& o) { return o.identify && o.identifyTimeoutMs == 344; }},
        {{"--scan", "--identify", "-t", "900", "COM1"},
         [](const PollOptions& o) { return o.timeoutMs == 900 && o.identifyTimeoutMs == 900; }},
        // Detection: the common rates, four framings and both modes, narrowed by what is given.
        {{"--detect", "COM1"},
         [](const PollOptions& o) {
             return o.detect && o.detect->bauds.size() == 8u && o.detect->framings.size() == 4u &&
                    o.detect->modes.size() == 2u && !o.detect->all && o.baud == 9600;
         }},
        {{"--detect", "--all", "-b", "19200,1200", "--parity", "odd", "--stop-bits", "2", "-m",
          "ascii", "rfc2217://host:2217"},
         [](const PollOptions& o) {
             return o.detect->all && o.detect->bauds == std::vector<std::uint32_t>{19200, 1200} &&
                    o.detect->framings.size() == 1u && o.detect->framings[0].first == 1 &&
                    o.detect->framings[0].second == 2 &&
                    o.detect->modes == std::vector<std::uint16_t>{1};
         }},
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
        {{"-b", "0", "COM1"}, Action::Error, "bad value for --baud: '0' (1 to 4000000"},
        {{"--mode", "modbus", "COM1"}, Action::Error, "rtu, ascii, tcp, udp or tls"},
        {{"-a", "0", "COM1"}, Action::Error, "--slave 0 broadcasts and takes writes only"},
        {{"-a", "3-1", "COM1"}, Action::Error, "bad value for --slave: '3-1' (1 to 255, a list"},
        {{"-T", "int16", "-w", "32768", "COM1"},
         Action::Error,
         "bad value for --write: '32768' (-32768 to 32767)"},
        {{"-T", "float32", "-w", "1e39", "COM1"}, Action::Error, "(a float32 such as"},
        {{"-T", "bin", "-w", "102", "COM1"}, Action::Error, "binary digits"},
        {{"-w", "1,,2", "COM1"}, Action::Error, "bad value for --write: ''"},
        {{"-w", List(124), "COM1"},
         Action::Error,
         "--write: 124 registers are more than one request takes (123)"},
        {{"-T", "int64", "-w", List(31), "COM1"}, Action::Error, "124 registers"},
        {{"-f", "1", "-w", List(1969), "COM1"}, Action::Error, "1969 coils"},
        {{"-T", "float32", "-c", "63", "COM1"},
         Action::Error,
         "bad value for --count: 63 (1 to 62 float32 values for function 3)"},
        {{"-T", "string", "-c", "251", "COM1"}, Action::Error, "(1 to 250 characters"},
        {{"--order", "CDAB", "COM1"}, Action::Error, "--order needs a 32-bit or 64-bit --type"},
        {{"--order", "ACBD", "COM1"}, Action::Error, "bad value for --order: 'ACBD' (ABCD, CDAB"},
        {{"-T", "float32", "-f", "1", "COM1"}, Action::Error, "--type needs function 3 or 4"},
        {{"-T", "int8", "COM1"}, Action::Error, "bad value for --type: 'int8' (uint16, int16"},
        {{"--retries", "11", "COM1"}, Action::Error, "bad value for --retries: '11' (0 to 10)"},
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
        {{"-w", "1", "-c", "2", "COM1"}, Action::Error, "leave --count out"},
        {{"-o", "xml", "COM1"}, Action::Error, "table, csv or json"},
        {{"--scan", "0-3", "COM1"}, Action::Error, "--scan asks 1 to 255"},
        {{"--scan=1,x", "COM1"}, Action::Error, "bad value for --scan: '1,x'"},
        {{"--scan", "-w", "1", "COM1"}, Action::Error, "--scan reads and takes no --write"},
        {{"--scan", "3", "-a", "3", "COM1"}, Action::Error, "not both"},
        {{"--identify", "-w", "1", "COM1"}, Action::Error, "--identify reads and takes no --write"},
        {{"--identify", "-a", "0", "COM1"},
         Action::Error,
         "--identify asks 1 to 255; 0 broadcasts"},
        {{"--scan", "-a", "0", "COM1"}, Action::Error, "--scan asks 1 to 255"},
        {{"--detect", "-w", "1", "COM1"}, Action::Error, "--detect reads and takes no --write"},
        {{"--detect", "--scan", "COM1"}, Action::Error, "takes no --scan"},
        {{"--detect", "tcp://host"}, Action::Error, "tcp://host has no line settings to detect"},
        {{"--detect", "-b", "9600,,19200", "COM1"},
         Action::Error,
         "bad value for --baud: '9600,,19200'"},
        {{"--detect", "-b", "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17", "COM1"},
         Action::Error,
         "bad value for --baud"},
        {{"-b", "9600,19200", "COM1"}, Action::Error, "a list such as 9600,19200 is for --detect"},
        {{"--all", "COM1"}, Action::Error, "--all goes with --detect"},
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
