// The protocol's splitters as a device or a master would use them: looking for one side of an
// exchange only, where the monitor looks for both.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/AsciiSplitter.h"
#include "protocol/Crc16.h"
#include "protocol/Lrc.h"
#include "protocol/RtuSplitter.h"

namespace {

using namespace std::chrono_literals;
using protocol::Bytes;
using protocol::FrameRoles;
using protocol::SteadyTime;

const SteadyTime kStart = SteadyTime{} + 1h;

Bytes Rtu(Bytes message) {
    const std::uint16_t crc = CCrc16::Compute(message.data(), message.size());
    message.push_back(crc & 0xFF);
    message.push_back(crc >> 8);
    return message;
}

Bytes Ascii(Bytes message) {
    message.push_back(ComputeLrc(message.data(), message.size()));
    Bytes line{':'};
    for (const std::uint8_t byte : message) {
        line.push_back(NibbleToHexDigit(byte >> 4));
        line.push_back(NibbleToHexDigit(byte & 0x0F));
    }
    line.insert(line.end(), {'\r', '\n'});
    return line;
}

// What the splitter found, one word each: "frame N" (message bytes), "noise N", "bad N+"
// (+ when it may be the awaited answer).
class CSeenSink final : public protocol::IFrameSink {
public:
    explicit CSeenSink(std::optional<protocol::Expectation> expected = {}) : m_expected(expected) {}

    std::optional<protocol::Expectation> Expected() const override { return m_expected; }
    void Frame(const Bytes& message, Bytes /*shown*/, SteadyTime /*time*/) override {
        Quiet();
        seen.push_back("frame " + std::to_string(message.size()));
    }
    void Noise(const std::uint8_t* /*data*/, std::size_t count, SteadyTime /*time*/) override {
        m_noise += count;
    }
    void BadCheck(Bytes shown, SteadyTime /*time*/, std::string /*error*/, std::uint8_t /*unit*/,
                  bool answersPending) override {
        Quiet();
        seen.push_back("bad " + std::to_string(shown.size()) + (answersPending ? "+" : ""));
    }
    void Quiet() override {
        if (m_noise > 0) {
            seen.push_back("noise " + std::to_string(m_noise));
            m_noise = 0;
        }
    }

    std::vector<std::string> seen;

private:
    std::optional<protocol::Expectation> m_expected;
    std::size_t m_noise = 0;
};

// A write of two registers and its answer, back to back in one burst, as an adapter gives them.
std::vector<std::string> SplitRtu(FrameRoles roles) {
    Bytes burst = Rtu({7, 16, 0, 4, 0, 2, 4, 0, 1, 0, 2});
    const Bytes answer = Rtu({7, 16, 0, 4, 0, 2});
    burst.insert(burst.end(), answer.begin(), answer.end());
    CSeenSink sink;
    protocol::CRtuSplitter splitter(sink, {roles, 1146us});
    splitter.Feed(burst.data(), burst.size(), kStart);
    splitter.Finish(kStart + 1s);
    return sink.seen;
}

TEST(SplitterRoles, AnRtuSplitterFindsOnlyTheSidesItLooksFor) {
    using Seen = std::vector<std::string>;
    EXPECT_EQ(SplitRtu(FrameRoles::Either), (Seen{"frame 11", "frame 6"}));
    EXPECT_EQ(SplitRtu(FrameRoles::Requests), (Seen{"frame 11", "noise 8"}));
    EXPECT_EQ(SplitRtu(FrameRoles::Answers), (Seen{"noise 13", "frame 6"}));
}

// A spoiled answer from the unit the sink waits for is the awaited answer only where answers
// are looked for.
TEST(SplitterRoles, AFailedCheckAnswersOnlyWhereAnswersAreLookedFor) {
    Bytes line = Ascii({1, 3, 2, 0, 7});
    line[line.size() - 3] ^= 1;
    for (const FrameRoles roles : {FrameRoles::Either, FrameRoles::Answers, FrameRoles::Requests}) {
        CSeenSink sink(protocol::Expectation{1, 3});
        protocol::CAsciiSplitter splitter(sink, roles);
        splitter.Feed(line.data(), line.size(), kStart);
        splitter.Finish(kStart + 1s);
        EXPECT_EQ(sink.seen,
                  std::vector<std::string>{roles == FrameRoles::Requests ? "bad 12" : "bad 12+"});
    }
}

}  // namespace
