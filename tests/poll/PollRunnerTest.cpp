#include "tools/poll/PollRunner.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <deque>

#include "modbus/Modbus.h"

namespace {

// A master whose exchanges end as scripted: a good answer of zeros for kModbusOk. A lost line
// (8, 9, 10) closes it, as an unplugged adapter does.
class CScriptedMaster : public CModbus {
public:
    std::uint16_t Transact(ByteArray& request, std::uint16_t, ByteArray& response,
                           std::uint16_t expectedLength, std::uint16_t*) override {
        ++exchanges;
        const std::uint16_t code = codes.empty() ? kModbusOk : codes.front();
        if (!codes.empty())
            codes.pop_front();
        lost = lost || code == kModbusReadError || code == kModbusWriteError;
        if (code == kModbusOk) {
            response.assign(expectedLength, 0);
            response[0] = request[0];
            response[1] = request[1];
            response[2] = 2;
        }
        return code;
    }
    bool IsPortOpen() const override { return !lost; }

    std::deque<std::uint16_t> codes;
    int exchanges = 0;
    bool lost = false;
};

}  // namespace

// A long run drops a lost line, skips the poll's other slaves, opens it at the next poll and
// counts every result; retries repeat failures without an answer only. (A failed reopen is
// vornak-poll's reconnect test.)
TEST(PollRunner, LongRunReopensTheLineAndRetriesWhatGotNoAnswer) {
    const struct {
        std::vector<std::string> args;
        std::deque<std::uint16_t> codes;
        int reopens;
        int exchanges;
        std::string counts;  // polls, requests, failures by result
    } cases[] = {
        {{"-n", "2", "-i", "0", "-a", "1,2,3", "COM1"},
         {kModbusOk, kModbusWriteError},
         1,
         5,
         "2 polls, 5 requests, 4 OK, 1 failed (1 Write Communication Error)"},
        {{"-n", "2", "-i", "0", "--retries", "2", "COM1"},
         {kModbusTimeout, kModbusCrcError, kModbusOk, kModbusException + 2},
         0,
         4,
         "2 polls, 2 requests, 1 OK, 1 failed (1 Slave Device Return an Exception Code 2)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const poll::PollParse parse = poll::ParsePollOptions(c.args);
        ASSERT_EQ(parse.action, poll::PollParse::Action::Run) << parse.error;
        CScriptedMaster master;
        master.codes = c.codes;
        int opened = 0;
        int dropped = 0;
        const auto reopen = [&](std::string&) {
            ++opened;
            master.lost = false;
            return true;
        };
        const poll::LineKeeper keeper{reopen, [&] { ++dropped; }};
        poll::CStopRequest stop;
        std::FILE* out = std::tmpfile();
        const poll::PollSummary summary = poll::RunPolls(master, parse.options, out, stop, &keeper);
        std::fclose(out);
        EXPECT_EQ(master.exchanges, c.exchanges);
        EXPECT_EQ(opened, c.reopens);
        EXPECT_EQ(dropped, c.reopens);
        const std::string text = poll::FormatSummary(summary, "COM1");
        EXPECT_EQ(text.substr(0, text.find('\n', 13) + 1), "--- COM1 ---\n" + c.counts + "\n");
    }
}
