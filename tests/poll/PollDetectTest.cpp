#include "tools/poll/PollDetect.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "modbus/Modbus.h"

using poll::LineFind;
using poll::LineTry;
using poll::OutputFormat;

namespace {

poll::PollOptions Parsed(std::vector<std::string> args) {
    args.push_back("COM1");
    const poll::PollParse parse = poll::ParsePollOptions(args);
    EXPECT_EQ(parse.action, poll::PollParse::Action::Run) << parse.error;
    return parse.options;
}

// A line where the slaves answer a read only at one combination of settings; at another a
// scripted code comes back. It keeps every line set up and every request.
class CLineMaster : public CModbus {
public:
    std::uint16_t Transact(ByteArray& request, std::uint16_t, ByteArray& response, std::uint16_t,
                           std::uint16_t*) override {
        asked.push_back(LineTryName(current, 8) + " @" + std::to_string(request[0]));
        const bool there = current.baud == target.baud && current.parity == target.parity &&
                           current.stopBits == target.stopBits && current.mode == target.mode;
        if (!there || std::find(slaves.begin(), slaves.end(), request[0]) == slaves.end())
            return otherwise;
        response = {request[0], 3, 2, 0, 0};
        return request[0] == refusing ? kModbusException + 2 : kModbusOk;
    }
    bool IsPortOpen() const override { return true; }

    poll::LineSetter Setter() {
        return [this](const poll::PollOptions& o, std::string&) {
            current = {o.baud, o.parity, o.stopBits, o.mode};
            timeouts.push_back(o.timeoutMs);
            return true;
        };
    }

    LineTry current;
    LineTry target;
    std::vector<std::uint8_t> slaves;
    std::uint8_t refusing = 0;
    std::uint16_t otherwise = kModbusTimeout;
    std::vector<std::string> asked;
    std::vector<std::uint32_t> timeouts;
};

std::string Sweep(CLineMaster& master, const poll::PollOptions& options,
                  poll::DetectSummary& summary) {
    std::FILE* out = std::tmpfile();
    poll::CStopRequest stop;
    summary = poll::RunDetect(master, options, master.Setter(), out, stop, nullptr);
    std::rewind(out);
    std::string text(4096, '\0');
    text.resize(std::fread(text.data(), 1, text.size(), out));
    std::fclose(out);
    return text;
}

}  // namespace

// Each framing and mode at 9600 first, then each rate in turn, commonest first.
TEST(PollDetect, SweepsCommonRatesFirstAndNamesEachTry) {
    const auto sweep = poll::DetectSweep(*Parsed({"--detect"}).detect);
    ASSERT_EQ(sweep.size(), 64u);
    std::string tries;
    for (std::size_t i = 0; i < 8; ++i)
        tries += poll::LineTryName(sweep[i], 8) + ", ";
    for (std::size_t i = 8; i < sweep.size(); i += 8)
        tries += std::to_string(sweep[i].baud) + " ";
    EXPECT_EQ(tries,
              "9600 8N1 RTU, 9600 8N1 ASCII, 9600 8E1 RTU, 9600 8E1 ASCII, 9600 8O1 RTU, 9600 8O1 "
              "ASCII, 9600 8N2 RTU, 9600 8N2 ASCII, 19200 38400 115200 57600 4800 2400 1200 ");
}

TEST(PollDetect, ReportsTheOptionsThatReproduceAFindInEachFormat) {
    const LineFind find{{1200, 2, 2, 1}, {3, 17}};
    const std::tuple<OutputFormat, std::uint16_t, std::string> cases[] = {
        {OutputFormat::Table, 7,
         "-b 1200 --parity even --data-bits 7 --stop-bits 2 -m ascii -a 3,17\n"},
        {OutputFormat::Csv, 8,
         "1200,8,even,2,ascii,3,-b 1200 --parity even --stop-bits 2 -m ascii -a 3\n"
         "1200,8,even,2,ascii,17,-b 1200 --parity even --stop-bits 2 -m ascii -a 17\n"},
        {OutputFormat::Json, 8,
         "{\"baud\":1200,\"data_bits\":8,\"parity\":\"even\",\"stop_bits\":2,\"mode\":\"ascii\","
         "\"slaves\":[3,17],\"options\":\"-b 1200 --parity even --stop-bits 2 -m ascii -a "
         "3,17\"}\n"},
    };
    for (const auto& [format, dataBits, expected] : cases)
        EXPECT_EQ(poll::FormatDetectFind(format, find, dataBits), expected);
    EXPECT_EQ(poll::FormatDetectProgress(16, 64, "19200 8N2 ASCII", 0, 4100),
              "[#####...............] 16/64, trying 19200 8N2 ASCII, 0 found, 5 s left");
}

// 3.5 characters at the slowest rate swept (1200: 33 ms), 20 ms at least; after bytes that did
// not check, also the longest answer at the last rate (9600 RTU: 294 ms, ASCII 587 ms).
TEST(PollDetect, KeepsTheLineQuietBetweenTries) {
    const LineTry rtu{9600, 0, 0, 0};
    const LineTry ascii{9600, 0, 0, 1};
    const std::tuple<std::vector<std::string>, LineTry, bool, std::uint32_t> cases[] = {
        {{"--detect"}, rtu, false, 33},
        {{"--detect", "-b", "19200,115200"}, rtu, false, 20},
        {{"--detect"}, rtu, true, 33 + 294},
        {{"--detect"}, ascii, true, 33 + 587},
    };
    for (const auto& [args, previous, garbled, ms] : cases)
        EXPECT_EQ(poll::SettleMs(Parsed(args), previous, garbled), ms)
            << ::testing::PrintToString(args);
}

TEST(PollDetect, EndsAtTheFirstFindOrListsEveryOne) {
    CLineMaster master;
    master.target = {19200, 0, 2, 1};  // 8N2 ASCII
    master.slaves = {2, 5};
    master.refusing = 5;
    poll::DetectSummary summary;
    EXPECT_EQ(Sweep(master, Parsed({"--detect", "-a", "1-2,5"}), summary),
              "-b 19200 --parity none --stop-bits 2 -m ascii -a 2\n");
    // At each try each address until one answers; the last of 16 tries stops at the first.
    ASSERT_EQ(master.asked.size(), 15u * 3 + 2);
    EXPECT_EQ(master.asked.back(), "19200 8N2 ASCII @2");
    // Each try waits the scan's time-out at its rate: 9600 RTU 68 ms, ASCII 87 ms.
    EXPECT_EQ(master.timeouts[0], 68u);
    EXPECT_EQ(master.timeouts[1], 87u);

    // --all: every combination, each address asked; an exception answer counts as a find.
    master.asked.clear();
    EXPECT_EQ(
        Sweep(master, Parsed({"--detect", "--all", "-a", "1-2,5", "-b", "9600,19200", "-t", "10"}),
              summary),
        "-b 19200 --parity none --stop-bits 2 -m ascii -a 2,5\n");
    EXPECT_EQ(master.asked.size(), 16u * 3);
    EXPECT_EQ(master.timeouts.back(), 10u);

    // The line lost on the way.
    master.otherwise = kModbusPortNotOpen;
    EXPECT_EQ(Sweep(master, Parsed({"--detect"}), summary), "");
    EXPECT_EQ(summary.tried, 0u);
    EXPECT_FALSE(summary.lineLost.empty());
}
