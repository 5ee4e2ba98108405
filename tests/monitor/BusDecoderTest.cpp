#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <random>
#include <sstream>
#include <string>

#include "protocol/Crc16.h"
#include "protocol/Lrc.h"
#include "tools/monitor/BusDecoder.h"

namespace monitor {
namespace {

using namespace std::chrono_literals;

const Clock::time_point kStart = Clock::time_point{} + 1h;

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

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes joined;
    for (const Bytes& part : parts)
        joined.insert(joined.end(), part.begin(), part.end());
    return joined;
}

Bytes Spoiled(Bytes frame) {
    frame.back() ^= 0x5A;
    return frame;
}

// The frames of the cases: slave 1 reads two holding registers at 0 and gets 10 and 11.
const Bytes kRead = Rtu({1, 3, 0, 0, 0, 2});
const Bytes kReadAnswer = Rtu({1, 3, 4, 0, 10, 0, 11});
const Bytes kReadException = Rtu({1, 0x83, 2});
const Bytes kReadOther = Rtu({2, 3, 0, 5, 0, 1});
const Bytes kReadOtherAnswer = Rtu({2, 3, 2, 1, 0});
const Bytes kReadCoils = Rtu({1, 1, 0, 0, 0, 10});
const Bytes kReadCoilsAnswer = Rtu({1, 1, 2, 0x05, 0x02});
const Bytes kWriteCoil = Rtu({1, 5, 0, 3, 0xFF, 0});  // and its echo
const Bytes kWriteRegisters = Rtu({7, 16, 0, 4, 0, 2, 4, 0, 1, 0, 2});
const Bytes kWriteRegistersAnswer = Rtu({7, 16, 0, 4, 0, 2});

// What a test reads of a record: kind, slave/function, address, count, values, code, time.
std::string Describe(const MonitorRecord& record) {
    static const char* const kKinds[] = {"request", "answer", "exception", "noise"};
    std::ostringstream out;
    out << kKinds[static_cast<int>(record.kind)];
    if (record.kind == RecordKind::Noise) {
        out << ' ' << record.bytes.size() << (record.error.empty() ? "" : " ") << record.error;
        return out.str();
    }
    out << ' ' << int(*record.slave) << '/' << int(*record.function);
    if (record.address)
        out << " @" << *record.address;
    if (record.count) {
        out << " x" << *record.count;
    }
    if (!record.values.empty()) {
        out << (record.bitValues ? " bits[" : " [");
        for (std::size_t i = 0; i < record.values.size(); ++i)
            out << (i ? " " : "") << record.values[i];
        out << ']';
    }
    if (record.exception)
        out << " code " << int(*record.exception);
    if (record.answerMs) {
        out << ' ' << std::lround(*record.answerMs) << "ms";
    }
    return out.str();
}

std::string DescribeTallies(const CBusDecoder& decoder) {
    std::ostringstream out;
    for (const auto& [slave, t] : decoder.Tallies()) {
        out << (out.tellp() > 0 ? ", " : "") << int(slave) << ": r" << t.requests << " a"
            << t.answers << " e" << t.exceptions << " u" << t.unanswered << " c" << t.checkErrors;
    }
    return out.str();
}

struct Heard {
    Bytes bytes;
    int ms;  // when they came in, from the start
};

// Feeds what was heard as a program would, ticking at each deadline in between, and lets the
// line fall quiet for five seconds before the end.
std::vector<MonitorRecord> Listen(CBusDecoder& decoder, const std::vector<Heard>& heard) {
    auto tickUntil = [&](Clock::time_point until) {
        int ticks = 0;
        for (auto due = decoder.Deadline(); due && *due <= until && ticks < 100;
             due = decoder.Deadline()) {
            decoder.Tick(*due);
            ++ticks;
        }
        EXPECT_LT(ticks, 100) << "the deadline does not move on";
    };
    Clock::time_point last = kStart;
    for (const Heard& h : heard) {
        last = kStart + std::chrono::milliseconds(h.ms);
        tickUntil(last);
        decoder.Feed(h.bytes.data(), h.bytes.size(), last);
    }
    tickUntil(last + 5s);
    decoder.Tick(last + 5s);
    decoder.Finish(last + 5s);
    EXPECT_FALSE(decoder.Deadline().has_value());
    return decoder.Take();
}

constexpr MonitorMode kRtu = MonitorMode::Rtu;
constexpr MonitorMode kAscii = MonitorMode::Ascii;
constexpr MonitorMode kAuto = MonitorMode::Auto;

// The records heard, then the tallies; the mode auto settles on where it was asked to guess.
struct DecoderCase {
    const char* name;
    MonitorMode mode;
    std::vector<Heard> heard;
    std::vector<std::string> records;
    std::optional<MonitorMode> decided = {};
};

const Bytes kAsciiRead = Ascii({1, 3, 0, 0, 0, 2});
const Bytes kAsciiAnswer = Ascii({1, 3, 4, 0, 10, 0, 11});
const Bytes kGarbage = {0x55, 0xAA, 0x13};

Bytes SpoiledLrc(Bytes line) {
    line[line.size() - 3] = line[line.size() - 3] == '0' ? '1' : '0';
    return line;
}

const std::vector<DecoderCase>& Cases() {
    static const std::vector<DecoderCase> cases = {
        {"read pair by silence",
         kRtu,
         {{kRead, 10}, {kReadAnswer, 40}},
         {"request 1/3 @0 x2", "answer 1/3 @0 x2 [10 11] 30ms", "1: r1 a1 e0 u0 c0"}},
        {"request and answer in one burst",
         kRtu,
         {{Join({kRead, kReadAnswer}), 16}},
         {"request 1/3 @0 x2", "answer 1/3 @0 x2 [10 11] 0ms", "1: r1 a1 e0 u0 c0"}},
        {"answer split across two bursts",
         kRtu,
         {{kRead, 16},
          {Bytes(kReadAnswer.begin(), kReadAnswer.begin() + 4), 32},
          {Bytes(kReadAnswer.begin() + 4, kReadAnswer.end()), 48}},
         {"request 1/3 @0 x2", "answer 1/3 @0 x2 [10 11] 32ms", "1: r1 a1 e0 u0 c0"}},
        {"exception answer",
         kRtu,
         {{kRead, 10}, {kReadException, 30}},
         {"request 1/3 @0 x2", "exception 1/3 @0 x2 code 2 20ms", "1: r1 a0 e1 u0 c0"}},
        {"unanswered, followed by another request, broadcast",
         kRtu,
         {{kRead, 10},
          {kReadOther, 100},
          {kReadOtherAnswer, 120},
          {Rtu({0, 6, 0, 1, 0, 7}), 200},
          {kRead, 300}},
         {"request 1/3 @0 x2", "request 2/3 @5 x1", "answer 2/3 @5 x1 [256] 20ms",
          "request 0/6 @1 x1 [7]", "request 1/3 @0 x2",
          "0: r1 a0 e0 u0 c0, 1: r2 a0 e0 u2 c0, 2: r1 a1 e0 u0 c0"}},
        {"answer with a bad CRC",
         kRtu,
         {{kRead, 10}, {Spoiled(kReadAnswer), 40}, {kRead, 100}, {kReadAnswer, 120}},
         {"request 1/3 @0 x2", "noise 9 bad CRC", "request 1/3 @0 x2",
          "answer 1/3 @0 x2 [10 11] 20ms", "1: r2 a1 e0 u0 c1"}},
        {"answer after the answer time",
         kRtu,
         {{kRead, 10}, {kReadAnswer, 1500}},
         {"request 1/3 @0 x2", "answer 1/3 [10 11]", "1: r1 a1 e0 u1 c0"}},
        {"noise before, between and across bursts",
         kRtu,
         {{Join({kGarbage, kRead}), 10},
          {Join({{0xFF, 0x00}, kReadAnswer}), 40},
          {kGarbage, 60},
          {Join({kGarbage, kRead, kReadAnswer}), 76}},
         {"noise 3", "request 1/3 @0 x2", "noise 2", "answer 1/3 @0 x2 [10 11] 30ms", "noise 6",
          "request 1/3 @0 x2", "answer 1/3 @0 x2 [10 11] 0ms", "1: r2 a2 e0 u0 c0"}},
        // Its CRC ends in 0x00, so with the stray 0x00 after it it is also a good request of
        // function 16 one byte longer; the silence before that byte tells.
        {"a stray 0x00 after a silence",
         kRtu,
         {{Join({{1, 16, 0, 0, 0, 16, 32}, Rtu({7, 16, 0, 4, 0, 2})}), 10}, {{0}, 30}},
         {"noise 7", "answer 7/16", "noise 1", "7: r0 a1 e0 u0 c0"}},
        {"coils read and written",
         kRtu,
         {{kReadCoils, 10}, {kReadCoilsAnswer, 30}, {kWriteCoil, 60}, {kWriteCoil, 80}},
         {"request 1/1 @0 x10", "answer 1/1 @0 x10 bits[1 0 1 0 0 0 0 0 0 1] 20ms",
          "request 1/5 @3 x1 bits[1]", "answer 1/5 @3 x1 bits[1] 20ms", "1: r2 a2 e0 u0 c0"}},
        {"unknown function, and a long diagnostic, by silence",
         kRtu,
         {{Rtu({1, 100, 7, 7, 7}), 10},
          {Rtu({1, 100, 9}), 30},
          {Rtu({1, 8, 0, 0, 1, 2, 3, 4}), 60},
          {Rtu({1, 8, 0, 0, 1, 2, 3, 4}), 80}},
         {"request 1/100", "answer 1/100 20ms", "request 1/8", "answer 1/8 20ms",
          "1: r2 a2 e0 u0 c0"}},
        {"ascii bad LRC and noise",
         kAscii,
         {{Join({{'x', 'y'}, kAsciiRead}), 10},
          {SpoiledLrc(kAsciiAnswer), 60},
          {Bytes{':', '0', '1', 'G', 'G', '\r', '\n'}, 100}},
         {"noise 2", "request 1/3 @0 x2", "noise 16 bad LRC", "noise 7", "1: r1 a0 e0 u0 c1"}},
        {"auto finds rtu",
         kAuto,
         {{kGarbage, 5}, {kRead, 10}, {kReadAnswer, 40}},
         {"noise 3", "request 1/3 @0 x2", "answer 1/3 @0 x2 [10 11] 30ms", "1: r1 a1 e0 u0 c0"},
         kRtu},
        {"auto gives up what fits neither, bounded",
         kAuto,
         {{Bytes(3000, 0), 10}},
         {"noise 2048", "noise 952", ""},
         kAuto},
        {"auto finds ascii",
         kAuto,
         {{kAsciiRead, 10}, {kAsciiAnswer, 60}},
         {"request 1/3 @0 x2", "answer 1/3 @0 x2 [10 11] 50ms", "1: r1 a1 e0 u0 c0"},
         kAscii},
    };
    return cases;
}

TEST(BusDecoder, RecordsOfWhatTheLineHeard) {
    for (const DecoderCase& c : Cases()) {
        CBusDecoder decoder(DecoderSettings{c.mode});
        std::vector<std::string> described;
        for (const MonitorRecord& record : Listen(decoder, c.heard)) {
            described.push_back(Describe(record));
        }
        described.push_back(DescribeTallies(decoder));
        EXPECT_EQ(described, c.records) << c.name;
        EXPECT_EQ(decoder.Mode(), c.decided.value_or(c.mode)) << c.name;
    }
}

TEST(BusDecoder, AnswerTimesInTheTally) {
    CBusDecoder decoder(DecoderSettings{kRtu});
    const auto records =
        Listen(decoder, {{kRead, 0}, {kReadAnswer, 20}, {kRead, 100}, {kReadException, 140}});
    EXPECT_EQ(records.at(1).time, kStart + 20ms);
    const auto tallies = decoder.Tallies();
    ASSERT_EQ(tallies.size(), 1u);
    EXPECT_DOUBLE_EQ(tallies[0].second.leastMs, 20);
    EXPECT_DOUBLE_EQ(tallies[0].second.meanMs, 30);
    EXPECT_DOUBLE_EQ(tallies[0].second.greatestMs, 40);
}

// A busy bus through an adapter: polls of several shapes back to back, cut anywhere into
// bursts 16 ms apart, come out as the same frames, each answer paired, no noise.
TEST(BusDecoder, PollsCutIntoBurstsAnywhere) {
    const std::vector<Bytes> exchange = {
        kRead, kReadAnswer,    kWriteRegisters, kWriteRegistersAnswer, kWriteCoil, kWriteCoil,
        kRead, kReadException, kReadCoils,      kReadCoilsAnswer};
    Bytes line;
    for (int round = 0; round < 20; ++round) {
        for (const Bytes& frame : exchange) {
            line.insert(line.end(), frame.begin(), frame.end());
        }
    }
    std::mt19937 random(3);
    std::vector<Heard> heard;
    for (std::size_t at = 0, piece = 0; at < line.size(); at += piece) {
        piece = std::min<std::size_t>(random() % 40 + 1, line.size() - at);
        heard.push_back({Bytes(line.begin() + at, line.begin() + at + piece),
                         static_cast<int>(heard.size() * 16)});
    }
    CBusDecoder decoder(DecoderSettings{kRtu});
    const auto records = Listen(decoder, heard);
    ASSERT_EQ(records.size(), exchange.size() * 20);
    for (std::size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(records[i].bytes, exchange[i % exchange.size()]) << i;
        EXPECT_EQ(records[i].kind == RecordKind::Request, i % 2 == 0) << i;
        EXPECT_EQ(records[i].answerMs.has_value(), i % 2 == 1) << i;
    }
    EXPECT_EQ(decoder.NoiseBytes(), 0u);
}

// Bytes at a wrong bit rate look random: any frame found must hold a good CRC (about one in
// 65536 tries), and every byte is in a frame or in noise.
TEST(BusDecoder, GarbageMakesNoFalseFrames) {
    std::mt19937 random(7);
    Bytes garbage(4096);
    for (std::uint8_t& byte : garbage) {
        byte = static_cast<std::uint8_t>(random());
    }
    for (const bool burst : {false, true}) {
        CBusDecoder decoder(DecoderSettings{kRtu});
        std::vector<Heard> heard;
        const std::size_t piece = burst ? 64 : 1;
        int ms = 0;
        for (std::size_t at = 0; at < garbage.size(); at += piece) {
            ms += burst ? 16 : static_cast<int>(random() % 6 + 1);
            heard.push_back({Bytes(garbage.begin() + at, garbage.begin() + at + piece), ms});
        }
        std::size_t inFrames = 0;
        for (const MonitorRecord& record : Listen(decoder, heard)) {
            if (record.kind != RecordKind::Noise) {
                const std::size_t body = record.bytes.size() - 2;
                const std::uint16_t crc = CCrc16::Compute(record.bytes.data(), body);
                EXPECT_EQ(record.bytes[body] | record.bytes[body + 1] << 8, crc);
                inFrames += record.bytes.size();
            }
        }
        EXPECT_EQ(inFrames + decoder.NoiseBytes(), garbage.size()) << burst;
        EXPECT_LT(inFrames, 64u) << burst;
    }
}

}  // namespace
}  // namespace monitor
