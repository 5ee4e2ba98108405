// Modbus TCP framing: the ADU on the wire, stale answers dropped, frames that cannot fit failed.
#include <atomic>
#include <cstdlib>
#include <thread>

#include "tests/lines/PtyPair.h"
#include "tests/modbus/LineFixture.h"

namespace {

// An ADU of transaction t (under 256); its length field counts the message unless given.
Bytes Adu(std::uint8_t t, const Bytes& message, int length = -1) {
    length = length < 0 ? static_cast<int>(message.size()) : length;
    Bytes adu{0, t, 0, 0, static_cast<std::uint8_t>(length >> 8)};
    adu.push_back(static_cast<std::uint8_t>(length));
    adu.insert(adu.end(), message.begin(), message.end());
    return adu;
}

const Bytes kMessage1234{0x01, 0x03, 0x02, 0x12, 0x34};

class MbapTest : public LineTest {
protected:
    void SetUp() override {
        master.SetFraming(FramingKind::Mbap);
        master.SetTimeout(30);
        ASSERT_TRUE(master.Open(1, 9600, 0));
    }
};

}  // namespace

TEST_F(MbapTest, RequestsOnTheWireAndAnswersOfNoRequestInFlightDropped) {
    const Bytes first = Adu(1, kMessage1234);
    port.Answer(Bytes(first.begin(), first.begin() + 3));  // the header cut in two
    port.Answer(Bytes(first.begin() + 3, first.end()));
    EXPECT_EQ(ReadOne(), 0);
    EXPECT_EQ(values, WordArray{0x1234});
    port.Answer(Adu(1, kMessage1234));                          // late, for transaction 1
    port.Answer(Bytes{0, 2, 0, 1, 0, 5, 1, 3, 2, 0x12, 0x34});  // another protocol
    port.Answer(Adu(2, {0x02, 0x03, 0x02, 0x12, 0x34}));        // another unit
    port.Answer(Adu(2, {0x01, 0x06, 0x00, 0x07, 0xAB, 0xCD}));  // another function
    port.Answer(Adu(2, {0x01, 0x03, 0x02, 0xAB, 0xCD}));
    EXPECT_EQ(ReadOne(), 0);
    EXPECT_EQ(values, WordArray{0xABCD});
    EXPECT_EQ(port.results.back(), "0 OK: dropped 4 answers not in flight");
    EXPECT_EQ(port.writes, (std::vector<Bytes>{{0, 1, 0, 0, 0, 6, 1, 3, 0, 0, 0, 1},
                                               {0, 2, 0, 0, 0, 6, 1, 3, 0, 0, 0, 1}}));
}

TEST_F(MbapTest, ExceptionsAndFramesThatDoNotFit) {
    // The n-th exchange runs with transaction n.
    const std::pair<Bytes, std::uint16_t> cases[] = {
        {Adu(1, {0x01, 0x83, 0x02}), 0x8002},
        {Adu(2, {0x01, 0x83}), 3},        // an exception without its code
        {Adu(3, {0x01, 0x03, 0x00}), 3},  // shorter than asked for
        {Adu(4, {0x01}, 1), 3},           // no room for a function
        {Adu(5, {0x01}, 65535), 3},
        {Bytes{0x00, 0x06, 0x00}, 3},  // half a header, then silence
        {Adu(7, {0x01, 0x03, 0x02}, 5), 3},
        {Adu(7, kMessage1234), 1}};  // the answer to the last exchange, not this one
    for (const auto& [answer, code] : cases) {
        port.Answer(answer);
        values = {7};
        EXPECT_EQ(ReadOne(), code) << port.results.size();
        EXPECT_EQ(values, WordArray{0});
    }
    EXPECT_EQ(port.results[4], "3 CRC Error: length field 65535");
}

// In real time: a frame cut short, or stale answers that keep coming, end within the time-out.
TEST(MbapLineTest, BadFramesEndWithinTheTimeout) {
    PtyPair pty;
    ::setenv("VORNAK_COM7", pty.Path().c_str(), 1);
    CLocalModbus master;
    master.SetFraming(FramingKind::Mbap);
    master.SetTimeout(300);
    ASSERT_TRUE(pty.Ok() && master.Open(7, 9600, 0));
    for (const auto& [answer, code] :
         {std::pair<Bytes, std::uint16_t>{Adu(3, {0x01, 0x03}, 5), 3}, {Adu(0, kMessage1234), 1}}) {
        std::atomic<bool> done{false};
        std::thread farEnd([&] {
            pty.Receive(12, 2000);
            pty.Send(answer);
            for (int i = 0; i < 500 && !done && code == 1; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                pty.Send(answer);
            }
        });
        WordArray values(1);
        Stopwatch sw;
        EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 1, values), code) << answer.size();
        EXPECT_LT(sw.Ms(), 300 + 2000) << answer.size();
        done = true;
        farEnd.join();
    }
    ::unsetenv("VORNAK_COM7");
}
