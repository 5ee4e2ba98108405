#include "tools/poll/PollIdentify.h"

#include <gtest/gtest.h>

#include <deque>

#include "modbus/Modbus.h"

namespace {

// A master whose exchanges hand back scripted answers (without their check) or codes, and that
// keeps each request; with nothing left every request times out.
class CScriptedMaster : public CModbus {
public:
    std::uint16_t Transact(ByteArray& request, std::uint16_t length, ByteArray& response,
                           std::uint16_t, std::uint16_t*) override {
        requests.emplace_back(request.begin(), request.begin() + length);
        if (answers.empty())
            return kModbusTimeout;
        const auto [code, answer] = answers.front();
        answers.pop_front();
        response = answer;
        return code;
    }
    bool IsPortOpen() const override { return true; }

    std::deque<std::pair<std::uint16_t, ByteArray>> answers;
    std::vector<ByteArray> requests;
};

std::pair<std::uint16_t, ByteArray> Objects(std::uint8_t code, bool more, std::uint8_t next,
                                            const ByteArray& objects, std::uint8_t count) {
    ByteArray frame{1,    0x2B, 0x0E, code, 0x83, more ? std::uint8_t{0xFF} : std::uint8_t{0},
                    next, count};
    frame.insert(frame.end(), objects.begin(), objects.end());
    return {kModbusOk, frame};
}

std::string Listed(const poll::Identity& identity) {
    return poll::FormatIdentity(poll::OutputFormat::Table, 1, identity);
}

}  // namespace

// Basic in two answers, regular refused, extended with an object seen before: each once, by name.
TEST(PollIdentify, FollowsTheStreamsAndEndsARefusedStage) {
    CScriptedMaster master;
    master.answers = {
        Objects(1, true, 2, {0, 1, 'A', 1, 1, 'P'}, 2),
        Objects(1, false, 0, {2, 3, '2', '.', '1'}, 1),
        {kModbusException + 2, {}},
        Objects(3, false, 0, {0, 1, 'A', 0x80, 3, 'x', 0x01, '\\'}, 2),
    };
    const poll::Identity identity = poll::Identify(master, 1);
    EXPECT_EQ(Listed(identity),
              "VendorName: A\nProductCode: P\nMajorMinorRevision: 2.1\n"
              "object 0x80: x\\x01\\x5C\n");
    EXPECT_EQ(master.requests, (std::vector<ByteArray>{{1, 0x2B, 0x0E, 1, 0},
                                                       {1, 0x2B, 0x0E, 1, 2},
                                                       {1, 0x2B, 0x0E, 2, 3},
                                                       {1, 0x2B, 0x0E, 3, 0x80}}));

    // A stream that says "more" for ever stops at its bound.
    master.requests.clear();
    for (int i = 0; i < 40; ++i)
        master.answers.push_back(
            Objects(1, true, static_cast<std::uint8_t>(i + 1), {0x90, 1, 'z'}, 1));
    EXPECT_EQ(Listed(poll::Identify(master, 1)), "object 0x90: z\n");
    ASSERT_EQ(master.requests.size(), 41u);  // 32 basic, then regular until the time-out
    EXPECT_EQ(master.requests[32], (ByteArray{1, 0x2B, 0x0E, 2, 3}));
}

TEST(PollIdentify, FallsBackToReportSlaveIdAndPrintsEachFormat) {
    const std::pair<std::uint16_t, std::string> refusals[] = {
        {kModbusException + 1, "slave id: 17\nrun indicator: OFF\ndata: 01 2C\n"},
        {kModbusTimeout, "slave id: 17\nrun indicator: OFF\ndata: 01 2C\n"},
        {kModbusException + 4, ""},  // refused for another reason: no fallback
    };
    for (const auto& [refusal, listed] : refusals) {
        CScriptedMaster master;
        master.answers = {{refusal, {}}, {kModbusOk, {1, 0x11, 4, 0x11, 0x00, 0x01, 0x2C}}};
        const poll::Identity identity = poll::Identify(master, 1);
        EXPECT_EQ(Listed(identity), listed);
        EXPECT_EQ(identity.code, refusal == kModbusException + 4 ? refusal : kModbusOk);
    }
    CScriptedMaster master;
    master.answers = {{kModbusException + 1, {}},
                      {kModbusOk, {1, 0x11, 6, 0x11, 0xFF, 'a', ',', '"', 'b'}}};
    const poll::Identity identity = poll::Identify(master, 1);
    EXPECT_EQ(poll::FormatIdentityHeader(poll::OutputFormat::Csv) +
                  poll::FormatIdentity(poll::OutputFormat::Csv, 1, identity),
              "slave,object,value\n1,slave id,17\n1,run indicator,ON\n1,data,\"a,\"\"b\"\n");
    EXPECT_NE(poll::FormatIdentity(poll::OutputFormat::Json, 1, identity)
                  .find("{\"slave\":1,\"object\":\"data\",\"value\":\"a,\\\"b\"}"),
              std::string::npos);
}
