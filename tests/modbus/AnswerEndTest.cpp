// RTU answers ended by their length, against the scripted port's virtual clock.
#include "tests/modbus/LineFixture.h"

namespace {

constexpr std::uint32_t kInterval = 50;
constexpr std::uint16_t kCount = 125;
using Bursts = std::vector<std::pair<std::uint32_t, Bytes>>;  // each (at, bytes)

// The answer to a read of 125 holding registers from 0: 253 bytes and the CRC.
Bytes FullAnswer() {
    Bytes message{0x01, 0x03, 2 * kCount};
    for (std::uint16_t i = 0; i < kCount; ++i) {
        message.push_back(static_cast<std::uint8_t>(i >> 8));
        message.push_back(static_cast<std::uint8_t>(i & 0xFF));
    }
    return WithCrc(message);
}

class AnswerEndTest : public LineTest {
protected:
    void SetUp() override {
        port.timed = true;
        master.SetCharInterval(kInterval);
        OpenLine(0);
        master.SetTimeout(1000);
        ASSERT_TRUE(master.Open(1, 9600, 0));
    }
    // Plays the bursts; returns the code and when the read ended.
    std::pair<std::uint16_t, std::uint32_t> Read(const Bursts& bursts) {
        port.Reset();
        port.nowMs = 0;
        for (const auto& [at, bytes] : bursts) {
            port.AnswerAt(at, bytes);
        }
        WordArray got(kCount, 0xEEEE);
        const std::uint16_t code = master.ReadHoldingRegisters(1, 0, kCount, got);
        EXPECT_EQ(code == kModbusOk, got[kCount - 1] == kCount - 1);
        return {code, port.nowMs};
    }
};

// Two bursts, by default 16 ms apart, the second ending the answer at 21 ms.
Bursts Split(const Bytes& answer, std::size_t split, std::uint32_t secondAt = 21) {
    return {{5, Bytes(answer.begin(), answer.begin() + static_cast<std::ptrdiff_t>(split))},
            {secondAt, Bytes(answer.begin() + static_cast<std::ptrdiff_t>(split), answer.end())}};
}

}  // namespace

TEST_F(AnswerEndTest, SilenceWaitsTheIntervalLengthEndsAtTheLastByte) {
    EXPECT_EQ(master.GetAnswerEnd(), AnswerEnd::Silence);
    const auto silence = Read(Split(FullAnswer(), 128));
    EXPECT_EQ(silence, std::make_pair(kModbusOk, 21 + kInterval));

    master.SetAnswerEnd(AnswerEnd::Length);
    for (const std::size_t split : {std::size_t{2}, std::size_t{4}, std::size_t{128}}) {
        const auto [code, endMs] = Read(Split(FullAnswer(), split));
        EXPECT_EQ(code, kModbusOk) << split;
        EXPECT_LE(endMs, 21u + 5u) << split;  // a few character times, not the interval
    }
    // The port keeps the framing's time-outs for the next exchange.
    ASSERT_TRUE(port.timeouts.has_value());
    EXPECT_EQ(port.timeouts->ReadIntervalTimeout, kInterval);
}

TEST_F(AnswerEndTest, LengthEndedAnswersFailAsBefore) {
    master.SetAnswerEnd(AnswerEnd::Length);
    Bytes badCrc = FullAnswer();
    badCrc.back() ^= 1;
    const Bytes full = FullAnswer();
    // What, the bursts, the code and the latest end.
    const std::tuple<const char*, Bursts, std::uint16_t, std::uint32_t> rows[] = {
        {"bad CRC", Split(badCrc, 100), kModbusCrcError, 30},
        {"overlong a byte later", {{5, full}, {6, {0x00}}}, kModbusCrcError, 15},
        {"gap past the interval", Split(full, 100, 5 + kInterval + 10), kModbusCrcError,
         5 + kInterval + 5},
        {"short", {{5, Bytes(full.begin(), full.end() - 1)}}, kModbusCrcError, 5 + kInterval + 5},
        {"exception", {{5, {0x01, 0x83, 0x02, 0xC0, 0xF1}}}, kModbusException + 2, 15},
        {"nothing", {}, kModbusTimeout, 1000 + 4 + 5},
    };
    for (const auto& [what, bursts, wantCode, latestEndMs] : rows) {
        const auto [code, endMs] = Read(bursts);
        EXPECT_EQ(code, wantCode) << what;
        EXPECT_LE(endMs, latestEndMs) << what;
    }
}
