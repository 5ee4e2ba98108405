// Functions 8, 11 and 12 served by the simulator core through its framing: counters that count
// what the line really carried, listen-only mode and the event log.

#include <gtest/gtest.h>

#include "SlaveCore.h"
#include "tools/slave/SlaveLog.h"

namespace slave {
namespace {

// What goes on the line: a message with a good check, or raw bytes.
struct Step {
    enum class Kind { Message, Raw };
    Kind kind;
    Bytes bytes;
    Bytes answer;  // the answer message; empty: none
};

Step Ask(Bytes message, Bytes answer) {
    return {Step::Kind::Message, std::move(message), std::move(answer)};
}
Step Silent(Bytes message) {
    return {Step::Kind::Message, std::move(message), {}};
}
Step Raw(Bytes wire) {
    return {Step::Kind::Raw, std::move(wire), {}};
}

// Sub-function 8/sub's answer carrying one counter or register.
Bytes Counter(std::uint8_t sub, std::uint16_t value) {
    return {1,
            8,
            0,
            sub,
            static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value & 0xFF)};
}
Bytes AskCounter(std::uint8_t sub) {
    return {1, 8, 0, sub, 0, 0};
}

void Play(CSlaveCore& core, const std::vector<Step>& steps) {
    int n = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE("step " + std::to_string(++n) + ": " + HexSpaced(step.bytes));
        if (step.kind == Step::Kind::Message) {
            EXPECT_EQ(core.Ask(step.bytes), step.answer);
        } else {
            EXPECT_TRUE(core.Send(step.bytes).empty());
        }
    }
}

SlaveOptions TwoIds() {
    SlaveOptions options;
    options.ids = {1, 5};
    options.size = 100;
    return options;
}

TEST(SlaveDiagnostics, CountersCountWhatTheLineCarried) {
    CSlaveCore core(TwoIds());
    const Bytes badCrc{1, 3, 0, 0, 0, 1, 0x84, 0x0B};
    Play(core, {
                   Ask({1, 8, 0, 0, 0xA5, 0x37}, {1, 8, 0, 0, 0xA5, 0x37}),  // bus 1, ours 1
                   Raw(badCrc),                                              // check errors 1
                   Raw({0x01, 0x03}),                                        // too short: 2
                   Silent({2, 3, 0, 0, 0, 1}),                               // bus 2, not ours
                   Ask({1, 3, 0, 0, 0, 0}, {1, 0x83, 3}),                    // bus 3, ours 2
                   Ask({5, 3, 0, 100, 0, 1}, {5, 0x83, 2}),                  // bus 4, ours 3
                   Silent({0, 6, 0, 1, 0, 5}),  // broadcast: bus 5, ours 4, no answer 1
                   Ask(AskCounter(11), Counter(11, 6)),
                   Ask(AskCounter(12), Counter(12, 2)),
                   Ask(AskCounter(13), Counter(13, 2)),
                   // Every request to 1 or 5 and the broadcast, these reads of counters too.
                   Ask(AskCounter(14), Counter(14, 8)),
                   Ask(AskCounter(15), Counter(15, 1)),
                   Ask(AskCounter(16), Counter(16, 0)),
                   Ask(AskCounter(17), Counter(17, 0)),
                   Ask(AskCounter(18), Counter(18, 0)),
                   Ask(AskCounter(2), Counter(2, 0)),
                   // Clearing starts every counter again from the clear on.
                   Ask({1, 8, 0, 10, 0, 0}, {1, 8, 0, 10, 0, 0}),
                   Ask(AskCounter(11), Counter(11, 1)),
                   Ask(AskCounter(12), Counter(12, 0)),
                   Ask(AskCounter(14), Counter(14, 3)),
               });
    EXPECT_EQ(core.Bank().HoldingRegister(1), 5);
}

TEST(SlaveDiagnostics, AnOverrunSetsItsCounterAndFlagUntilCleared) {
    CSlaveCore core(TwoIds());
    Bytes endless(CRtuFramer::kMaxFrame + 40, 0x01);
    Play(core, {
                   Raw(endless),
                   Ask(AskCounter(18), Counter(18, 1)),
                   Ask(AskCounter(2), Counter(2, protocol::kOverrunFlag)),
                   Ask(AskCounter(12), Counter(12, 0)),  // an overrun is not a check error
                   Ask({1, 8, 0, 20, 0, 0}, {1, 8, 0, 20, 0, 0}),
                   Ask(AskCounter(18), Counter(18, 0)),
                   Ask(AskCounter(2), Counter(2, 0)),
               });
}

TEST(SlaveDiagnostics, ListenOnlyAnswersNothingUntilRestart) {
    CSlaveCore core(TwoIds());
    Play(core, {
                   Silent({1, 8, 0, 4, 0, 0}), Silent({1, 3, 0, 0, 0, 1}),
                   Silent({1, 6, 0, 2, 0, 9}),  // not carried out either
                   Silent({5, 8, 0, 11, 0, 0}),
                   // The restart ends the mode without an answer of its own.
                   Silent({1, 8, 0, 1, 0, 0}), Ask({1, 3, 0, 2, 0, 1}, {1, 3, 2, 0, 0}),
                   // The restart cleared the counters: the read and this request since.
                   Ask(AskCounter(11), Counter(11, 2)),
                   Ask({1, 8, 0, 1, 0xFF, 0}, {1, 8, 0, 1, 0xFF, 0}),  // answered when on line
               });
    EXPECT_EQ(core.LastKind(), SlaveReply::Kind::Answer);
    core.Ask({1, 8, 0, 4, 0, 0});
    EXPECT_EQ(core.LastKind(), SlaveReply::Kind::Unanswered);
}

TEST(SlaveDiagnostics, EventCounterAndLogTellWhatWasDone) {
    CSlaveCore core(TwoIds());
    Play(core, {
                   Ask({1, 6, 0, 1, 0, 5}, {1, 6, 0, 1, 0, 5}),
                   Ask({1, 3, 0, 0, 0, 0}, {1, 0x83, 3}),  // an exception is no event
                   Raw({1, 3, 0, 0, 0, 1, 0x84, 0x0B}),
                   // Status ready, one event.
                   Ask({1, 11}, {1, 11, 0, 0, 0, 1}),
                   Ask({1, 11}, {1, 11, 0, 0, 0, 1}),  // nor does reading the counter count
                   // Status, event count, message count (five good frames so far, this one
                   // included), then the events newest first: this request's receive, the
                   // sends and receives before it, the check error with its bit.
                   Ask({1, 12}, {1, 12, 16, 0, 0, 0, 1, 0, 5, 0x80, 0x40, 0x80, 0x40, 0x80, 0x82,
                                 0x41, 0x80, 0x40, 0x80}),
               });
}

TEST(SlaveDiagnostics, AnAsciiFrameWithABadLrcIsACheckError) {
    SlaveOptions options = TwoIds();
    options.mode = Framing::Ascii;
    CSlaveCore core(options);
    const std::string badLrc = ":010300000001FC\r\n";
    const std::string notHex = ":01030000000G\r\n";
    EXPECT_TRUE(core.Send(Bytes(badLrc.begin(), badLrc.end())).empty());
    EXPECT_TRUE(core.Send(Bytes(notHex.begin(), notHex.end())).empty());
    EXPECT_EQ(core.Ask(AskCounter(12)), Counter(12, 2));
    EXPECT_EQ(core.Ask(AskCounter(11)), Counter(11, 2));
}

}  // namespace
}  // namespace slave
