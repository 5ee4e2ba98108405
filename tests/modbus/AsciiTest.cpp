#include <cctype>

#include "modbus/Lrc.h"
#include "tests/modbus/LineFixture.h"

namespace {

// ":" hex(bytes) hex(LRC) CR LF, the way a slave would send it.
std::string AsciiFrame(const Bytes& bytes) {
    static const char* kHex = "0123456789ABCDEF";
    std::string frame = ":";
    Bytes withLrc = bytes;
    withLrc.push_back(ComputeLrc(bytes.data(), bytes.size()));
    for (std::uint8_t b : withLrc) {
        frame += kHex[b >> 4];
        frame += kHex[b & 0x0F];
    }
    return frame + "\r\n";
}

class AsciiTest : public LineTest {
protected:
    void SetUp() override { OpenLine(1); }
};

}  // namespace

TEST_F(AsciiTest, RequestOnTheWireAndAnswerDecoded) {
    port.Answer(AsciiFrame({0x01, 0x03, 0x02, 0x12, 0x34}));
    WordArray values(1);
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 1, values), 0);
    ASSERT_EQ(port.writes.size(), 1u);
    const std::string expected = ":010300000001FB\r\n";
    EXPECT_EQ(port.writes[0], Bytes(expected.begin(), expected.end()));
    EXPECT_EQ(port.writes[0].size(), 17u);
    EXPECT_EQ(port.purges, std::vector<std::uint32_t>{0x0F});
    EXPECT_EQ(values, WordArray{0x1234});
}

TEST_F(AsciiTest, AnswerArrivingInPiecesAndTransactLength) {
    const std::string frame = AsciiFrame({0x01, 0x06, 0x00, 0x01, 0x0F, 0xA0});
    port.Answer(frame.substr(0, 5));
    port.Answer(Bytes{});  // one empty poll between the pieces
    port.Answer(frame.substr(5));
    ByteArray request{0x01, 0x06, 0x00, 0x01, 0x0F, 0xA0};
    ByteArray response;
    std::uint16_t received = 0;
    EXPECT_EQ(master.Transact(request, 6, response, 0, &received), 0);
    EXPECT_EQ(received, 6);
    EXPECT_EQ(response, request);
    EXPECT_EQ(request.size(), 6u);  // ASCII appends nothing to the request
}

TEST_F(AsciiTest, SlaveException) {
    port.Answer(AsciiFrame({0x01, 0x83, 0x02}));
    WordArray values(1);
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 1, values), 0x8002);

    port.Answer(AsciiFrame({0x01, 0x83}));  // claims an exception but carries no code
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 1, values), 3);
}

TEST_F(AsciiTest, LrcFaults) {
    std::string lower = AsciiFrame({0x01, 0x03, 0x02, 0xAB, 0xCD});
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    port.Answer(lower);
    WordArray values(1);
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 1, values), 3);

    std::string broken = AsciiFrame({0x01, 0x03, 0x02, 0x12, 0x34});
    broken[8] = '5';
    port.Answer(broken);
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 1, values), 3);

    port.Answer(std::string(":0\r\n"));  // under 5 characters
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 1, values), 3);
}

TEST_F(AsciiTest, AnswerLengthMustMatchTheRequest) {
    WordArray values(2);
    port.Answer(AsciiFrame({0x01, 0x03, 0x02, 0x12, 0x34}));  // one register of two
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 2, values), 3);
    EXPECT_EQ(values, (WordArray{0, 0}));
    port.Answer(AsciiFrame({0x01, 0x03, 0x04, 0x12, 0x34, 0x56, 0x78, 0x9A}));
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 2, values), 3);
}

TEST_F(AsciiTest, OddAndShortFramesStayInBounds) {
    struct Case {
        std::string answer;
        std::uint16_t code;
        ByteArray decoded;
    };
    // The LRC is always taken from the two characters before CR LF; an odd digit is dropped.
    const Case cases[] = {{":FF\r\n", 3, {}},
                          {":01030FC\r\n", 0, {0x01, 0x03}},
                          {":0103FC0\r\n", 3, {}},
                          {":\r\n\r\n\r\n", 0, {0x00}}};
    for (const Case& c : cases) {
        port.Answer(c.answer);
        ByteArray request{1, 3, 0, 0, 0, 1};
        ByteArray response;
        std::uint16_t received = 0xFFFF;
        EXPECT_EQ(master.Transact(request, 6, response, 0, &received), c.code) << c.answer;
        if (c.code == 0) {
            EXPECT_EQ(received, c.decoded.size()) << c.answer;
            EXPECT_EQ(response, c.decoded) << c.answer;
        }
    }
}

TEST_F(AsciiTest, DecodedAnswerGrowsTheResponse) {
    Bytes big{0x01, 0x03, 0x14};
    for (std::uint8_t i = 0; i < 20; ++i) {
        big.push_back(i);
    }
    port.Answer(AsciiFrame(big));
    ByteArray request{1, 3, 0, 0, 0, 10};
    ByteArray response(2, 0xEE);
    std::uint16_t received = 0;
    EXPECT_EQ(master.Transact(request, 6, response, 0, &received), 0);
    EXPECT_EQ(received, 23);
    EXPECT_EQ(response, big);
}

TEST_F(AsciiTest, LineFailures) {
    WordArray values(1);
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 1, values), 1);  // silent for the time-out

    port.Answer(std::string(1030, '0'));  // never ends
    const std::size_t readsBefore = port.readSizes.size();
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 1, values), 9);
    EXPECT_EQ(port.readSizes.size() - readsBefore, 1024u);
    port.reads.clear();

    port.Answer(std::string(":0103"));
    port.FailRead();
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 1, values), 9);

    port.writeOk = false;
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 1, values), 8);
}

TEST_F(AsciiTest, AnswerWithoutCrLfEndsAtTheSilence) {
    const std::string frame = AsciiFrame({0x01, 0x03, 0x02, 0x12, 0x34});
    port.Answer(frame.substr(0, frame.size() - 2));
    WordArray values(1);
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 1, values), 3);  // LRC read from the wrong place
    EXPECT_TRUE(port.reads.empty());
}
