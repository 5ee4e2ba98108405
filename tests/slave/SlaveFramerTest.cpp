#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "tools/slave/AsciiFramer.h"
#include "tools/slave/RtuFramer.h"

namespace slave {
namespace {

using namespace std::chrono_literals;
using Clock = CRtuFramer::Clock;

void Feed(CRtuFramer& framer, const Bytes& bytes, Clock::time_point when) {
    framer.Feed(bytes.data(), bytes.size(), when);
}

void Feed(CAsciiFramer& framer, const std::string& text) {
    framer.Feed(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

TEST(RtuFramer, FrameEndsOnlyAfterTheSilence) {
    CRtuFramer framer(3646us);
    const Clock::time_point t0{};
    EXPECT_FALSE(framer.Deadline().has_value());
    EXPECT_FALSE(framer.Take(t0).has_value());

    Feed(framer, {0x01, 0x03, 0x00}, t0);
    Feed(framer, {0x00, 0x00, 0x01, 0x84, 0x0A}, t0 + 2ms);
    ASSERT_TRUE(framer.Deadline().has_value());
    EXPECT_EQ(*framer.Deadline(), t0 + 2ms + 3646us);
    EXPECT_FALSE(framer.Take(t0 + 5ms).has_value());

    const auto frame = framer.Take(t0 + 2ms + 3646us);
    ASSERT_TRUE(frame.has_value());
    EXPECT_EQ(frame->status, FrameStatus::Ok);
    EXPECT_EQ(frame->frame, (Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A}));
    EXPECT_EQ(frame->message, (Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x01}));
    EXPECT_FALSE(framer.Deadline().has_value());
    EXPECT_FALSE(framer.Take(t0 + 1s).has_value());
}

TEST(RtuFramer, PauseSplitsARequestIntoTwoBadFrames) {
    CRtuFramer framer(1750us);
    const Clock::time_point t0{};
    Feed(framer, {0x01, 0x03, 0x00, 0x00}, t0);
    const auto first = framer.Take(t0 + 2ms);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->status, FrameStatus::BadCheck);
    Feed(framer, {0x00, 0x01, 0x84, 0x0A}, t0 + 3ms);
    const auto second = framer.Take(t0 + 10ms);
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(second->status, FrameStatus::BadCheck);
    EXPECT_EQ(second->frame, (Bytes{0x00, 0x01, 0x84, 0x0A}));
}

TEST(RtuFramer, DecodeChecksLengthAndCrc) {
    EXPECT_EQ(RtuDecode({}).status, FrameStatus::Short);
    EXPECT_EQ(RtuDecode({0x01, 0x03, 0x40}).status, FrameStatus::Short);
    EXPECT_EQ(RtuDecode({0x01, 0x83, 0x02, 0xC0, 0xF1}).status, FrameStatus::Ok);
    EXPECT_EQ(RtuDecode({0x01, 0x83, 0x02, 0xF1, 0xC0}).status, FrameStatus::BadCheck);
    EXPECT_EQ(RtuDecode({0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0B}).status,
              FrameStatus::BadCheck);
}

TEST(RtuFramer, EncodeAppendsCrcLowByteFirst) {
    EXPECT_EQ(RtuEncode({0x01, 0x03, 0x02, 0x12, 0x34}, false),
              (Bytes{0x01, 0x03, 0x02, 0x12, 0x34, 0xB5, 0x33}));
    EXPECT_EQ(RtuEncode({0x01, 0x83, 0x02}, false), (Bytes{0x01, 0x83, 0x02, 0xC0, 0xF1}));
    const Bytes bad = RtuEncode({0x01, 0x83, 0x02}, true);
    EXPECT_EQ(bad, (Bytes{0x01, 0x83, 0x02, 0x3F, 0x0E}));
    EXPECT_EQ(RtuDecode(bad).status, FrameStatus::BadCheck);
}

TEST(RtuFramer, EndlessStreamIsCutAtTheLongestFrame) {
    CRtuFramer framer(1750us);
    const Clock::time_point t0{};
    const Bytes chunk(100, 0x55);
    for (int i = 0; i < 10; ++i) {
        Feed(framer, chunk, t0 + std::chrono::microseconds(500 * i));
    }
    const auto frame = framer.Take(t0 + 1s);
    ASSERT_TRUE(frame.has_value());
    EXPECT_EQ(frame->status, FrameStatus::Overrun);
    EXPECT_EQ(frame->frame.size(), CRtuFramer::kMaxFrame);
    // The next frame starts clean.
    Feed(framer, {0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A}, t0 + 2s);
    const auto next = framer.Take(t0 + 3s);
    ASSERT_TRUE(next.has_value());
    EXPECT_EQ(next->status, FrameStatus::Ok);
}

TEST(AsciiFramer, FramesRunFromColonToCrLf) {
    CAsciiFramer framer;
    EXPECT_FALSE(framer.Next().has_value());
    Feed(framer, "noise\r\n:0103000000");
    EXPECT_FALSE(framer.Next().has_value());
    Feed(framer, "01FB\r");
    EXPECT_FALSE(framer.Next().has_value());
    Feed(framer, "\n:010600051234AE\r\n");
    auto frame = framer.Next();
    ASSERT_TRUE(frame.has_value());
    EXPECT_EQ(frame->text, "010300000001FB");
    EXPECT_FALSE(frame->overrun);
    frame = framer.Next();
    ASSERT_TRUE(frame.has_value());
    EXPECT_EQ(frame->text, "010600051234AE");
    EXPECT_FALSE(framer.Next().has_value());
}

TEST(AsciiFramer, ColonRestartsAnUnfinishedFrame) {
    CAsciiFramer framer;
    Feed(framer, ":0103:010300000001FB\r\n");
    const auto frame = framer.Next();
    ASSERT_TRUE(frame.has_value());
    EXPECT_EQ(frame->text, "010300000001FB");
    EXPECT_FALSE(framer.Next().has_value());
}

TEST(AsciiFramer, LoneCrOrLfDoesNotEndAFrame) {
    CAsciiFramer framer;
    Feed(framer, ":01\n03\r00\r\n");
    const auto frame = framer.Next();
    ASSERT_TRUE(frame.has_value());
    EXPECT_EQ(frame->text, "01\n03\r00");
    EXPECT_EQ(AsciiDecode(frame->text).status, FrameStatus::BadHex);
}

TEST(AsciiFramer, OverlongFrameIsReportedOnceAndDropped) {
    CAsciiFramer framer;
    Feed(framer, ":" + std::string(CAsciiFramer::kMaxText + 50, '0') + "\r\n");
    const auto frame = framer.Next();
    ASSERT_TRUE(frame.has_value());
    EXPECT_TRUE(frame->overrun);
    EXPECT_FALSE(framer.Next().has_value());
    Feed(framer, ":010300000001FB\r\n");
    ASSERT_TRUE(framer.Next().has_value());
}

TEST(AsciiFramer, TheLongestModbusFrameFitsAndOnePairMoreOverruns) {
    // An address and a PDU of 253 bytes: 254 bytes and the LRC as 510 digits.
    const Bytes longest(1 + protocol::kMaxPdu, 0x11);
    const std::string line = AsciiEncode(longest, false);
    ASSERT_EQ(line.size(), 1 + CAsciiFramer::kMaxText + 2);
    CAsciiFramer framer;
    Feed(framer, line);
    auto frame = framer.Next();
    ASSERT_TRUE(frame.has_value());
    EXPECT_FALSE(frame->overrun);
    EXPECT_EQ(AsciiDecode(frame->text).message, longest);

    Feed(framer, line.substr(0, line.size() - 2) + "00\r\n");
    frame = framer.Next();
    ASSERT_TRUE(frame.has_value());
    EXPECT_TRUE(frame->overrun);
    EXPECT_EQ(frame->text.size(), CAsciiFramer::kMaxText);
    EXPECT_FALSE(framer.Next().has_value());
}

TEST(AsciiFramer, DecodeTestsHexAndLrc) {
    DecodedFrame d = AsciiDecode("010300000001FB");
    EXPECT_EQ(d.status, FrameStatus::Ok);
    EXPECT_EQ(d.frame, (Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0xFB}));
    EXPECT_EQ(d.message, (Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x01}));
    EXPECT_EQ(AsciiDecode("010600051234ae").status, FrameStatus::Ok);
    EXPECT_EQ(AsciiDecode("010300000001FC").status, FrameStatus::BadCheck);
    EXPECT_EQ(AsciiDecode("010300000001F").status, FrameStatus::BadHex);
    EXPECT_EQ(AsciiDecode("01030000000GFB").status, FrameStatus::BadHex);
    EXPECT_EQ(AsciiDecode("0103 0000001FB").status, FrameStatus::BadHex);
    EXPECT_EQ(AsciiDecode("").status, FrameStatus::Short);
    EXPECT_EQ(AsciiDecode("01FF").status, FrameStatus::Short);
}

TEST(AsciiFramer, EncodeUsesUpperCaseHexAndCrLf) {
    EXPECT_EQ(AsciiEncode({0x01, 0x03, 0x00, 0x00, 0x00, 0x01}, false), ":010300000001FB\r\n");
    EXPECT_EQ(AsciiEncode({0x0A, 0x83, 0x02}, false), ":0A830271\r\n");
    EXPECT_EQ(AsciiEncode({0x0A, 0x83, 0x02}, true), ":0A830272\r\n");
    EXPECT_EQ(AsciiDecode("0A830272").status, FrameStatus::BadCheck);
}

}  // namespace
}  // namespace slave
