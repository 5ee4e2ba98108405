// Modbus TCP framing: the ADU on the wire, answers of no request in flight dropped, and frames
// whose length cannot fit failing with a code within the response time-out.
#include <atomic>
#include <cstdlib>
#include <thread>

#include "tests/lines/PtyPair.h"
#include "tests/modbus/LineFixture.h"

namespace {

std::uint8_t Hi(std::size_t value) {
    return static_cast<std::uint8_t>(value >> 8);
}

std::uint8_t Lo(std::size_t value) {
    return static_cast<std::uint8_t>(value & 0xFF);
}

// A header for unit 1 with any length field.
Bytes Header(std::uint16_t transaction, std::uint16_t length) {
    return {Hi(transaction), Lo(transaction), 0, 0, Hi(length), Lo(length), 0x01};
}

Bytes Adu(std::uint16_t transaction, const Bytes& message, std::uint16_t protocol = 0) {
    const std::size_t n = message.size();
    Bytes adu{Hi(transaction), Lo(transaction), Hi(protocol), Lo(protocol), Hi(n), Lo(n)};
    for (std::uint8_t byte : message) {
        adu.push_back(byte);
    }
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

TEST_F(MbapTest, RequestOnTheWireWithANewTransactionEach) {
    EXPECT_EQ(port.timeouts->ReadTotalTimeoutConstant, 30u);
    port.Answer(Adu(1, kMessage1234));
    EXPECT_EQ(ReadOne(), 0);
    EXPECT_EQ(values, WordArray{0x1234});
    const Bytes echo = Adu(2, {0x01, 0x06, 0x00, 0x07, 0xAB, 0xCD});
    port.Answer(Bytes(echo.begin(), echo.begin() + 3));  // pieces, the header cut in two
    port.Answer(Bytes(echo.begin() + 3, echo.end()));
    EXPECT_EQ(master.PresetSingleRegister(1, 7, 0xABCD), 0);
    EXPECT_EQ(port.writes, (std::vector<Bytes>{{0, 1, 0, 0, 0, 6, 1, 3, 0, 0, 0, 1},
                                               {0, 2, 0, 0, 0, 6, 1, 6, 0, 7, 0xAB, 0xCD}}));
    EXPECT_EQ(port.purges, (std::vector<std::uint32_t>{kPurgeAll, kPurgeAll}));
    // Every read waits only for what is left of the time-out, never without a bound.
    const SerialTimeouts& last = *port.timeouts;
    EXPECT_LE(last.ReadTotalTimeoutConstant, 30u);
    EXPECT_TRUE(last.ReadIntervalTimeout == kReadAtOnce || last.ReadTotalTimeoutConstant > 0);
}

TEST_F(MbapTest, AnswersOfNoRequestInFlightAreDropped) {
    port.Answer(Adu(0, kMessage1234));                    // late, for an earlier transaction
    port.Answer(Adu(1, kMessage1234, 1));                 // another protocol
    port.Answer(Adu(1, {0x02, 0x03, 0x02, 0x12, 0x34}));  // another unit
    port.Answer(Adu(1, {0x01, 0x04, 0x02, 0x12, 0x34}));  // another function
    port.Answer(Adu(1, {0x01, 0x03, 0x02, 0xAB, 0xCD}));
    EXPECT_EQ(ReadOne(), 0);
    EXPECT_EQ(values, WordArray{0xABCD});
    EXPECT_EQ(port.results.back(), "0 OK: dropped 4 answers not in flight");

    port.Answer(Adu(1, kMessage1234));  // transaction 2 is in flight now
    EXPECT_EQ(ReadOne(), 1);
    EXPECT_EQ(values, WordArray{0});
    EXPECT_EQ(port.results.back(), "1 Time-out Error: dropped 1 answer not in flight");
}

TEST_F(MbapTest, ExceptionsAndFramesThatDoNotFit) {
    Bytes halfRest = Header(9, 5);
    halfRest.push_back(0x03);
    halfRest.push_back(0x02);
    // The n-th exchange runs with transaction n.
    const std::pair<Bytes, std::uint16_t> cases[] = {
        {Adu(1, {0x01, 0x83, 0x02}), 0x8002},
        {Adu(2, {0x01, 0x83}), 3},        // an exception without its code
        {Adu(3, {0x01, 0x03, 0x00}), 3},  // shorter than asked for
        {Header(4, 0), 3},
        {Header(5, 1), 3},  // no room for a function
        {Header(6, 255), 3},
        {Header(7, 65535), 3},
        {Bytes{0x00, 0x08, 0x00}, 3},  // half a header, then silence
        {halfRest, 3},
        {Bytes{}, 1}};
    for (const auto& [answer, code] : cases) {
        port.Answer(answer);
        values = {7};
        EXPECT_EQ(ReadOne(), code) << port.results.size();
        EXPECT_EQ(values, WordArray{0});
    }
    EXPECT_EQ(port.results[6], "3 CRC Error: length field 65535");
}

// On a pseudo-terminal, with real time: a bad frame ends at once or at the time-out, and
// answers of no request in flight arriving without end cannot stretch the wait.
TEST(MbapLineTest, BadFramesEndWithinTheTimeout) {
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    ::setenv("VORNAK_COM7", pty.Path().c_str(), 1);
    CLocalModbus master;
    master.SetFraming(FramingKind::Mbap);
    master.SetTimeout(300);
    ASSERT_TRUE(master.Open(7, 9600, 0));
    Bytes half = Header(3, 5);
    half.push_back(0x03);
    const std::pair<Bytes, std::uint16_t> cases[] = {
        {Header(1, 0), 3}, {Header(2, 65535), 3}, {half, 3}, {Adu(0, kMessage1234), 1}};
    for (const auto& [answer, code] : cases) {
        std::atomic<bool> done{false};
        std::thread farEnd([&] {
            pty.Receive(12, 2000);
            pty.Send(answer);
            // The stale answer keeps coming for far longer than the time-out.
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
