#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

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

// Kind, slave/function, address, count, values, fields, exception, error, and '+' for an
// answer paired with its request.
std::string Seen(const MonitorRecord& r) {
    static const char* const kKinds[] = {"request", "answer", "exception", "noise"};
    std::ostringstream out;
    out << kKinds[static_cast<int>(r.kind)];
    if (r.kind == RecordKind::Noise) {
        out << ' ' << r.bytes.size() << (r.error.empty() ? "" : " ") << r.error;
        return out.str();
    }
    out << ' ' << int(*r.slave) << '/' << int(*r.function);
    if (r.address) {
        out << " @" << *r.address;
    }
    if (r.count) {
        out << " x" << *r.count;
    }
    if (!r.values.empty()) {
        out << (r.bitValues ? " bits[" : " [");
        for (std::size_t i = 0; i < r.values.size(); ++i) {
            out << (i ? " " : "") << r.values[i];
        }
        out << ']';
    }
    for (const protocol::Field& field : r.fields) {
        out << ' ' << field.name << '=' << field.value;
    }
    if (r.exception) {
        out << " code " << int(*r.exception);
    }
    if (!r.error.empty()) {
        out << " ! " << r.error;
    }
    if (r.answerMs) {
        out << " +";
    }
    return out.str();
}

// The messages (address, PDU) one after the other, 30 ms apart, framed for the mode.
std::vector<std::string> Hear(MonitorMode mode, const std::vector<Bytes>& messages) {
    CBusDecoder decoder(DecoderSettings{mode});
    Clock::time_point at = kStart;
    for (const Bytes& message : messages) {
        const Bytes frame = mode == MonitorMode::Ascii ? Ascii(message) : Rtu(message);
        at += 30ms;
        for (auto due = decoder.Deadline(); due && *due <= at; due = decoder.Deadline()) {
            decoder.Tick(*due);
        }
        decoder.Feed(frame.data(), frame.size(), at);
    }
    decoder.Tick(at + 2s);
    decoder.Finish(at + 2s);
    std::vector<std::string> seen;
    for (const MonitorRecord& record : decoder.Take()) {
        seen.push_back(Seen(record));
    }
    return seen;
}

struct DecodingCase {
    const char* name;
    std::vector<Bytes> messages;
    std::vector<std::string> seen;
};

// The standard's own exchanges where it gives one, slave 17 unless the case says otherwise.
const std::vector<DecodingCase>& Cases() {
    static const std::vector<DecodingCase> cases = {
        {"read and write registers (23)",
         {{17, 23, 0, 3, 0, 6, 0, 14, 0, 3, 6, 0, 0xFF, 0, 0xFF, 0, 0xFF},
          {17, 23, 12, 0, 0xFE, 0x0A, 0xCD, 0, 1, 0, 3, 0, 13, 0, 0xFF}},
         {"request 17/23 @3 x6 [255 255 255] write address=14 write count=3",
          "answer 17/23 @3 x6 [254 2765 1 3 13 255] +"}},
        {"mask write (22)",
         {{17, 22, 0, 4, 0, 0xF2, 0, 0x25}, {17, 22, 0, 4, 0, 0xF2, 0, 0x25}},
         {"request 17/22 @4 and=0x00F2 or=0x0025", "answer 17/22 @4 and=0x00F2 or=0x0025 +"}},
        {"device identification (43/14)",
         {{17, 43, 14, 1, 0},
          {17, 43, 14, 1, 0x81, 0, 0, 2, 0, 6, 'V', 'o', 'r', 'n', 'a', 'k', 2, 3, '1', '.', '1'}},
         {"request 17/43 code=1 object=0",
          "answer 17/43 code=1 conformity=0x0081 more follows=no next object=0 "
          "object 0=Vornak object 2=1.1 +"}},
        {"read file record (20)",
         {{17, 20, 14, 6, 0, 4, 0, 1, 0, 2, 6, 0, 3, 0, 9, 0, 2},
          {17, 20, 12, 5, 6, 0x0D, 0xFE, 0, 0x20, 5, 6, 0x33, 0xCD, 0, 0x40}},
         {"request 17/20 file=4 record=1 length=2 file=3 record=9 length=2",
          "answer 17/20 [3582 32 13261 64] file=4 record=1 length=2 values=0x0DFE 0x0020 file=3 "
          "record=9 length=2 values=0x33CD 0x0040 +"}},
        {"write file record (21)",
         {{17, 21, 13, 6, 0, 4, 0, 7, 0, 3, 0x06, 0xAF, 0x04, 0xBE, 0x10, 0x0D},
          {17, 21, 13, 6, 0, 4, 0, 7, 0, 3, 0x06, 0xAF, 0x04, 0xBE, 0x10, 0x0D}},
         {"request 17/21 [1711 1214 4109] file=4 record=7 length=3 values=0x06AF 0x04BE 0x100D",
          "answer 17/21 [1711 1214 4109] file=4 record=7 length=3 values=0x06AF 0x04BE 0x100D "
          "+"}},
        {"FIFO queue (24)",
         {{17, 24, 0x04, 0xDE}, {17, 24, 0, 6, 0, 2, 0x01, 0xB8, 0x12, 0x84}},
         {"request 17/24 @1246", "answer 17/24 @1246 x2 [440 4740] +"}},
        {"diagnostics' bus message count (8)",
         {{17, 8, 0, 11, 0, 0}, {17, 8, 0, 11, 0x01, 0x23}},
         {"request 17/8 sub-function=11 data=0x0000", "answer 17/8 sub-function=11 count=291 +"}},
        {"comm event counter (11)",
         {{17, 11}, {17, 11, 0xFF, 0xFF, 0x01, 0x08}},
         {"request 17/11", "answer 17/11 status=0xFFFF events=264 +"}},
        {"comm event log (12)",
         {{17, 12}, {17, 12, 8, 0, 0, 1, 8, 1, 0x21, 0x20, 0}},
         {"request 17/12", "answer 17/12 status=0x0000 events=264 messages=289 log=20 00 +"}},
        {"a byte count that does not match the count (16)",
         {{17, 16, 0, 1, 0, 2, 6, 0, 10, 1, 2, 0, 3}},
         {"request 17/16 ! malformed: byte count 6 for 2"}},
        {"a FIFO count over 31 (24)",
         {{17, 24, 0, 1},
          [] {
              Bytes answer{17, 24, 0, 66, 0, 32};
              answer.resize(answer.size() + 64, 7);
              return answer;
          }()},
         {"request 17/24 @1", "answer 17/24 @1 ! malformed: FIFO count 32 over 31 +"}},
    };
    return cases;
}

TEST(FunctionDecoding, EachFunctionReadBothWaysInRtuAndAscii) {
    for (const DecodingCase& c : Cases()) {
        for (const MonitorMode mode : {MonitorMode::Rtu, MonitorMode::Ascii}) {
            EXPECT_EQ(Hear(mode, c.messages), c.seen)
                << c.name << (mode == MonitorMode::Ascii ? " in ASCII" : " in RTU");
        }
    }
}

// Only a line's own end tells an ASCII frame's length, so there a byte count may promise
// more than the frame holds; in RTU such bytes make no frame.
TEST(FunctionDecoding, AnAsciiFrameShorterThanItsByteCountIsMalformed) {
    const Bytes request{1, 3, 0, 0, 0, 2};
    const Bytes answer{1, 3, 4, 0, 10};
    EXPECT_EQ(Hear(MonitorMode::Ascii, {request, answer}),
              (std::vector<std::string>{"request 1/3 @0 x2",
                                        "answer 1/3 @0 x2 ! malformed: 4 bytes where the "
                                        "fields call for 6 +"}));
    const std::vector<std::string> rtu = Hear(MonitorMode::Rtu, {request, answer});
    ASSERT_EQ(rtu.size(), 2u);
    EXPECT_EQ(rtu[1], "noise 7");
}

}  // namespace
}  // namespace monitor
