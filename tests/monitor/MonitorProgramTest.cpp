// The monitor's own parts: its options, how a record reads, and a line that is only read.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tools/monitor/ListenLine.h"
#include "tools/monitor/MonitorFormat.h"
#include "tools/monitor/MonitorOptions.h"

using namespace monitor;
using poll::OutputFormat;
using Action = MonitorParse::Action;

TEST(MonitorOptions, TakesThePollersOptionsAndRefusesWhatAMonitorCannotUse) {
    const MonitorParse defaults = ParseMonitorOptions({"COM2"});
    const MonitorOptions& d = defaults.options;
    EXPECT_TRUE(d.line.comPort == 2 && d.line.baud == 9600 && d.mode == MonitorMode::Auto &&
                d.timeoutMs == 1000 && d.records == 0 && d.durationS == 0);
    const MonitorParse all =
        ParseMonitorOptions({"-m",  "ascii",      "-b",      "115200",      "--parity=even",
                             "-d",  "7",          "-s",      "2",           "-t",
                             "250", "-T",         "float32", "--order",     "CDAB",
                             "-o",  "json",       "--trace", "/tmp/t",      "-n",
                             "5",   "--duration", "3",       "/dev/ttyUSB0"});
    const MonitorOptions& o = all.options;
    ASSERT_EQ(all.action, Action::Run) << all.error;
    EXPECT_TRUE(o.line.port == "/dev/ttyUSB0" && o.line.comPort == 0 &&
                o.mode == MonitorMode::Ascii && o.line.baud == 115200 && o.line.parity == 2 &&
                o.line.dataBits == 7 && o.line.stopBits == 2 && o.timeoutMs == 250 &&
                o.type == poll::ValueType::Float32 && o.order == poll::WordOrder::Cdab &&
                o.format == OutputFormat::Json && o.trace == "/tmp/t" && o.records == 5 &&
                o.durationS == 3);
    // Character time: start, 7 data, parity and 2 stop bits at 115200 bit/s.
    EXPECT_EQ(CharacterNs(o.line), 11ull * 1000000000ull / 115200ull);
    const std::pair<std::vector<std::string>, std::string> refused[] = {
        {{}, "no PORT given (COM1 to COM16, a device path or socket://HOST:PORT)"},
        {{"-m", "tcp", "COM1"},
         "bad value for --mode: 'tcp' (rtu, ascii or auto; Modbus TCP is no shared bus to listen "
         "to)"},
        {{"--order", "CDAB", "COM1"},
         "--order needs a 32-bit or 64-bit --type (int32, uint32, float32, int64, uint64, "
         "float64)"},
        {{"-w", "1", "COM1"}, "unknown option -w"},
        {{"COM1", "COM2"}, "one PORT only; unexpected 'COM2'"},
    };
    for (const auto& [args, error] : refused) {
        const MonitorParse parse = ParseMonitorOptions(args);
        EXPECT_EQ(parse.action, Action::Error);
        EXPECT_EQ(parse.error, error);
    }
}

TEST(MonitorFormat, EachFormatSaysTheRecordInFull) {
    MonitorRecord answer;
    answer.kind = RecordKind::Answer;
    answer.slave = 1;
    answer.function = 3;
    answer.address = 16;
    answer.count = 3;
    answer.values = {0x4049, 0x0FDB, 7};
    answer.answerMs = 12.3456;
    answer.bytes = {0x01, 0x03, 0x06, 0x40, 0x49, 0x0F, 0xDB, 0x00, 0x07, 0xAB, 0xCD};
    const auto wall = std::chrono::system_clock::time_point{};
    ::setenv("TZ", "UTC", 1);
    const std::string time = "1970-01-01T00:00:00.000+00:00";
    const RecordStyle table{OutputFormat::Table, poll::ValueType::Float32, poll::WordOrder::Abcd};
    EXPECT_EQ(FormatMonitorRecord(table, answer, wall),
              time +
                  " answer    slave 1 function 3 address 16 count 3 = 3.1415927 7 after 12.3 "
                  "ms | 01 03 06 40 49 0F DB 00 07 AB CD\n");
    MonitorRecord exception;
    exception.kind = RecordKind::Exception;
    exception.slave = 1;
    exception.function = 3;
    exception.exception = 2;
    exception.answerMs = 1.0;
    exception.bytes = {'0', '1', '8', '3', '0', '2', '7', 'A'};
    EXPECT_EQ(FormatMonitorRecord({OutputFormat::Csv}, exception, wall),
              time + ",exception,1,3,,,,2 (Illegal Data Address),,1.000,:0183027A\n");
    MonitorRecord noise;
    noise.error = "bad CRC";
    noise.bytes = {0x30, 0x00};
    noise.values = {1, 0, 1};
    noise.bitValues = true;
    EXPECT_EQ(FormatMonitorRecord({OutputFormat::Json}, noise, wall),
              "{\"time\":\"" + time +
                  "\",\"kind\":\"noise\",\"slave\":null,\"function\":null,\"address\":null,"
                  "\"count\":null,\"values\":[1,0,1],\"exception\":null,\"error\":\"bad CRC\","
                  "\"answer_ms\":null,\"bytes\":\"30 00\"}\n");
    SlaveTally tally{4, 2, 1, 1, 1, 1.0, 2.0, 3.0, 3};
    EXPECT_EQ(FormatTallies("/dev/pts/9", 8, {{7, tally}, {9, SlaveTally{1}}}, 3),
              "--- /dev/pts/9 ---\n8 records, 3 noise bytes\nslave 7: 4 requests, 2 answers, 1 "
              "exception, 1 unanswered, 1 check error, answer min/mean/max = "
              "1.000/2.000/3.000 ms\nslave 9: 1 request, 0 answers, 0 exceptions, 0 "
              "unanswered, 0 check errors\n");
}

// The line is read and never written: a server on the far end hears nothing. (The monitor's
// own tests see the same of a pseudo-terminal, and its end when the far end closes.)
TEST(ListenLine, ReadsWithoutWritingAndRefusesWhatItCannotListenTo) {
    ListenSettings settings;
    std::string reason;
    int error = 0;
    std::uint8_t got[8];
    std::size_t n = 0;
    const std::uint8_t sent[] = {0x01, 0x03, 0x00};
    const int server = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof addr;
    ASSERT_EQ(::bind(server, reinterpret_cast<sockaddr*>(&addr), size) | ::listen(server, 1) |
                  ::getsockname(server, reinterpret_cast<sockaddr*>(&addr), &size),
              0);
    settings.port = "socket://127.0.0.1:" + std::to_string(ntohs(addr.sin_port));
    CListenLine net;
    ASSERT_TRUE(net.Open(settings, reason)) << reason;
    const int peer = ::accept(server, nullptr, nullptr);
    ASSERT_EQ(::send(peer, sent, 3, 0), 3);
    EXPECT_EQ(net.WaitReadable(2000, error), CListenLine::Wait::Ready);
    EXPECT_EQ(net.Take(got, sizeof got, n, error), CListenLine::Read::Got);
    EXPECT_EQ(n, 3u);
    int queued = -1;
    EXPECT_EQ(::ioctl(peer, FIONREAD, &queued), 0);
    EXPECT_EQ(queued, 0);
    ::close(peer);
    ::close(server);

    // What a monitor must not open, each with its reason.
    const std::pair<std::string, std::string> refused[] = {
        {"rfc2217://127.0.0.1:1", "rfc2217:// sets the line by negotiating"},
        {"tcp://127.0.0.1", "Modbus TCP is no shared bus"},
        {"/dev/null?rs485", "the rs485 option drives the line's transmitter"},
        {"/dev/null?echo", "the echo option is for a master"},
        {"/dev/null", "cannot open /dev/null: not a terminal device"},
    };
    for (const auto& [port, words] : refused) {
        settings.port = port;
        CListenLine other;
        EXPECT_FALSE(other.Open(settings, reason));
        EXPECT_NE(reason.find(words), std::string::npos) << reason;
    }
}
