#include <gtest/gtest.h>

#include "lines/TelnetCodec.h"

namespace {

using namespace telnet;
using Bytes = std::vector<std::uint8_t>;

TEST(TelnetCodecTest, OutgoingBytesAreEscapedAndFramed) {
    const Bytes data{0x01, 0xFF, 0x02, 0xFF};
    Bytes wire;
    AppendEscaped(wire, data.data(), data.size());
    EXPECT_EQ(wire, (Bytes{0x01, 0xFF, 0xFF, 0x02, 0xFF, 0xFF}));
    // Sent wire bytes -> data bytes that went out whole: half an escaped IAC is not one.
    const std::pair<std::size_t, std::size_t> sent[] = {{0, 0}, {1, 1}, {2, 1},
                                                        {3, 2}, {5, 3}, {6, 4}};
    for (const auto& [wireBytes, dataBytes] : sent) {
        EXPECT_EQ(DataBytesSent(data.data(), data.size(), wireBytes), dataBytes) << wireBytes;
    }
    // The value big-endian, its IAC doubled inside the subnegotiation.
    EXPECT_EQ(ComPortCommand(kSetBaudRate, BaudRateValue(0xFF00)),
              (Bytes{0xFF, 0xFA, 44, 1, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0xFF, 0xF0}));
}

TEST(TelnetCodecTest, IncomingStreamSplitsIntoDataAndEventsWhereverItIsCut) {
    const Bytes stream{0x01, 0xFF, 0xFF, 0x02,  // data with an IAC
                       0xFF, 0xFD, 44,          // DO COM-PORT
                       0xFF, 0xF1,              // NOP
                       0xFF, 0xFA, 44,   101,  0x00, 0xFF, 0xFF, 0x00, 0xFF, 0xF0,  // answer
                       0x03, 0xFF, 0xFA, 44,   106,  0x10, 0xFF, 0xFD, 0x00,  // no IAC SE: given up
                       0x04};
    for (std::size_t cut = 1; cut <= stream.size(); ++cut) {
        SCOPED_TRACE("pieces of " + std::to_string(cut));
        CDecoder decoder;
        Bytes data;
        std::vector<Event> events;
        for (std::size_t at = 0; at < stream.size(); at += cut) {
            decoder.Feed(stream.data() + at, std::min(cut, stream.size() - at), data, events);
        }
        EXPECT_EQ(data, (Bytes{0x01, 0xFF, 0x02, 0x03, 0x04}));
        ASSERT_EQ(events.size(), 3u);
        EXPECT_EQ(events[0].kind, Event::Kind::Negotiation);
        EXPECT_EQ(events[0].verb, kDo);
        EXPECT_EQ(events[0].option, kOptionComPort);
        EXPECT_EQ(events[1].kind, Event::Kind::Subnegotiation);
        EXPECT_EQ(events[1].payload, (Bytes{101, 0x00, 0xFF, 0x00}));
        EXPECT_EQ(events[2].verb, kDo);  // the command that cut the broken subnegotiation
        EXPECT_EQ(events[2].option, kOptionBinary);
    }
}

}  // namespace
