#include <cctype>
#include <chrono>

#include "protocol/Lrc.h"
#include "tests/modbus/LineFixture.h"

namespace {

// ":" hex(bytes) hex(LRC) CR LF, the way a slave sends it.
std::string AsciiFrame(const Bytes& bytes) {
    const Bytes frame = AsciiFramed(bytes);
    return std::string(frame.begin(), frame.end());
}

class AsciiTest : public LineTest {
protected:
    void SetUp() override { OpenLine(1); }
};

}  // namespace

TEST_F(AsciiTest, RequestOnTheWireAndAnswerDecoded) {
    port.Answer(AsciiFrame({0x01, 0x03, 0x02, 0x12, 0x34}));
    EXPECT_EQ(ReadOne(), 0);
    const std::string expected = ":010300000001FB\r\n";
    EXPECT_EQ(port.writes, std::vector<Bytes>{Bytes(expected.begin(), expected.end())});
    EXPECT_EQ(port.writes[0].size(), 17u);
    EXPECT_EQ(port.purges, std::vector<std::uint32_t>{kPurgeAll});
    EXPECT_EQ(values, WordArray{0x1234});
}

TEST_F(AsciiTest, PiecesOpenLengthAndGrowth) {
    Bytes big{0x01, 0x03, 0x14};
    for (std::uint8_t i = 0; i < 20; ++i) {
        big.push_back(i);
    }
    const std::string frame = AsciiFrame(big);
    port.Answer(frame.substr(0, 5));
    port.Answer(Bytes{});  // one empty poll between the pieces
    port.Answer(frame.substr(5));
    ByteArray response(2, 0xEE);
    std::uint16_t received = 0;
    EXPECT_EQ(Exchange(0, response, &received), 0);
    EXPECT_EQ(received, 23);
    EXPECT_EQ(response, big);  // grown to hold the whole answer
}

TEST_F(AsciiTest, ExceptionsAndBrokenFrames) {
    port.Answer(AsciiFrame({0x01, 0x83, 0x02}));
    EXPECT_EQ(ReadOne(), 0x8002);

    std::string lower = AsciiFrame({0x01, 0x03, 0x02, 0xAB, 0xCD});
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    std::string badLrc = AsciiFrame({0x01, 0x03, 0x02, 0x12, 0x34});
    badLrc[8] = '5';
    const std::string frame = AsciiFrame({0x01, 0x03, 0x02, 0x12, 0x34});
    for (const std::string& answer :
         {AsciiFrame({0x01, 0x83}),                          // exception without its code
          lower, badLrc, std::string(":0\r\n"),              // under 5 characters
          frame.substr(0, frame.size() - 2),                 // no CR LF: ends at the silence
          AsciiFrame({0x01, 0x03, 0x04, 0x12, 0x34, 0x56}),  // longer than asked for
          AsciiFrame({0x01, 0x03, 0x00})}) {                 // shorter than asked for
        port.Answer(answer);
        values = {7};
        EXPECT_EQ(ReadOne(), 3) << answer;
        EXPECT_EQ(values, WordArray{0});
    }
}

TEST_F(AsciiTest, OddAndShortFramesStayInBounds) {
    // The LRC is taken from the two characters before CR LF; an odd digit is dropped.
    const std::pair<std::string, ByteArray> decoded[] = {{":01030FC\r\n", {0x01, 0x03}},
                                                         {":\r\n\r\n\r\n", {0x00}}};
    for (const auto& [answer, bytes] : decoded) {
        port.Answer(answer);
        ByteArray response;
        std::uint16_t received = 0;
        EXPECT_EQ(Exchange(0, response, &received), 0) << answer;
        EXPECT_EQ(received, bytes.size()) << answer;
        EXPECT_EQ(response, bytes) << answer;
    }
    for (const std::string answer : {":FF\r\n", ":0103FC0\r\n"}) {
        port.Answer(answer);
        ByteArray response;
        EXPECT_EQ(Exchange(0, response), 3) << answer;
    }
}

TEST_F(AsciiTest, LineFailures) {
    EXPECT_EQ(ReadOne(), 1);  // silent for the time-out

    port.Answer(std::string(1030, '0'));  // never ends
    const std::size_t readsBefore = port.readSizes.size();
    EXPECT_EQ(ReadOne(), 9);
    EXPECT_EQ(port.readSizes.size() - readsBefore, 1024u);
    port.reads.clear();

    port.Answer(std::string(":0103"));
    port.FailRead();
    EXPECT_EQ(ReadOne(), 9);

    port.writeOk = false;
    EXPECT_EQ(ReadOne(), 8);
}

TEST_F(AsciiTest, TricklingAnswerEndsAtItsBound) {
    // One character every 15 polls (about 15 ms), inside a 50 ms character interval, for far
    // longer than the 30 ms time-out plus 1024 character times of 1 ms allow.
    master.SetCharInterval(50);
    ASSERT_TRUE(master.Open(1, 9600, 0));
    for (int i = 0; i < 1000; ++i) {
        port.Answer(std::string(1, '0'));
        for (int idle = 0; idle < 14; ++idle) {
            port.Answer(Bytes{});
        }
    }
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadOne(), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1054 + 2000));
    EXPECT_FALSE(port.reads.empty());  // still trickling when the master gave up
    EXPECT_LT(port.delivered.size(), 1024u);
}
