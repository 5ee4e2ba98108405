#include "tests/modbus/LineFixture.h"

namespace {

class RtuTest : public LineTest {
protected:
    void SetUp() override { OpenLine(0); }
};

}  // namespace

TEST_F(RtuTest, ReadHoldingRegisterOnTheWire) {
    port.Answer(kAnswer1234);
    EXPECT_EQ(ReadOne(), 0);
    EXPECT_EQ(port.writes, (std::vector<Bytes>{{0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A}}));
    EXPECT_EQ(port.purges, std::vector<std::uint32_t>{kPurgeAll});
    EXPECT_EQ(port.readSizes, (std::vector<std::uint32_t>{4, 508}));
    EXPECT_EQ(values, WordArray{0x1234});
}

TEST_F(RtuTest, TransactPayloadAndOpenLength) {
    port.Answer(kAnswer1234);
    ByteArray response;
    std::uint16_t received = 0;
    EXPECT_EQ(Exchange(5, response, &received), 0);
    EXPECT_EQ(response, (ByteArray{0x01, 0x03, 0x02, 0x12, 0x34}));
    EXPECT_EQ(received, 5);

    port.Answer(WithCrc({0x01, 0x03, 0x04, 0xAA, 0xBB, 0xCC, 0xDD}));
    EXPECT_EQ(Exchange(0, response, &received), 0);  // open length: received less the check
    EXPECT_EQ(received, 7);
    EXPECT_EQ(response, (ByteArray{0x01, 0x03, 0x04, 0xAA, 0xBB, 0xCC, 0xDD}));
    port.Answer(Bytes{0x01, 0x03, 0x04, 0xAA, 0xBB, 0xCC, 0xDD, 0x00, 0x00});
    EXPECT_EQ(Exchange(0, response), 3);

    port.Answer(WithCrc({0x01, 0x03, 0x00}));
    ByteArray shortRequest{1, 3};  // shorter than its stated length: taken as zero-padded
    EXPECT_EQ(master.Transact(shortRequest, 6, response, 3, nullptr), 0);
    EXPECT_EQ(port.writes.back(), WithCrc({1, 3, 0, 0, 0, 0}));
    EXPECT_EQ(shortRequest, WithCrc({1, 3, 0, 0, 0, 0}));
}

TEST_F(RtuTest, SlaveExceptionAndFunction0x80) {
    port.Answer(Bytes{0x01, 0x83, 0x02, 0xC0, 0xF1});
    EXPECT_EQ(ReadOne(), 0x8002);
    port.Answer(Bytes{0x01, 0x83, 0x02, 0xC0, 0xF2});
    EXPECT_EQ(ReadOne(), 3);
    port.Answer(WithCrc({0x01, 0x80, 0x02, 0x12, 0x34}));  // not an exception, a wrong function
    EXPECT_EQ(ReadOne(), 2);
}

TEST_F(RtuTest, WrongCheckOrLength) {
    const Bytes answers[] = {
        {0x01, 0x03, 0x02, 0x12, 0x34, 0xB5, 0x34},              // bad CRC
        {0x01, 0x03, 0x02, 0x12, 0x34, 0xB5},                    // one byte short
        {0x01, 0x03},                                            // under the first read
        {0x01},                                                  // one byte
        {0x01, 0x03, 0x02, 0x12, 0x34, 0xB5, 0x33, 0x55, 0x66},  // longer, leading CRC valid
        {0x01, 0x83},                                            // fake exceptions: too short
        {0x01, 0x83, 0x02},
        {0x01, 0x83, 0x41, 0x81}};  // CRC of 01 83 41 is 0x0081, the 00 never came
    for (const Bytes& answer : answers) {
        port.Answer(answer);
        values = {7};
        EXPECT_EQ(ReadOne(), 3) << answer.size();
        EXPECT_EQ(values, WordArray{0});
    }
}

TEST_F(RtuTest, LengthsTheFrameCannotHold) {
    port.Answer(Bytes(512, 0x01));
    ByteArray response;
    EXPECT_EQ(Exchange(511, response), 3);  // 511 + 2 exceeds the 512-byte frame
    EXPECT_EQ(response.size(), 511u);

    port.Answer(WithCrc({0x01}));  // 2 x 32767 + 3 must not wrap to an expected length of 1
    values.assign(40000, 9);
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 32767, values), 3);
    EXPECT_EQ(values, WordArray(40000, 0));
}

TEST_F(RtuTest, LineFailures) {
    EXPECT_EQ(ReadOne(), 1);  // nothing came

    port.FailRead();
    int clears = port.errorClears;
    EXPECT_EQ(ReadOne(), 9);
    EXPECT_GT(port.errorClears, clears);
    port.Answer(Bytes{0x01, 0x03, 0x02, 0x12});  // first read full, the second fails
    port.FailRead();
    EXPECT_EQ(ReadOne(), 9);

    port.outQueue = {8, 5, 2};
    port.Answer(kAnswer1234);
    EXPECT_EQ(ReadOne(), 0);  // waited for the transmit queue to drain
    EXPECT_TRUE(port.outQueue.empty());
    port.outQueueAfter = 3;
    EXPECT_EQ(ReadOne(), 8);  // it never drains within the 30 ms time-out
    port.outQueueAfter = 0;

    port.writeOk = false;
    clears = port.errorClears;
    EXPECT_EQ(ReadOne(), 8);
    EXPECT_GT(port.errorClears, clears);
}

TEST_F(RtuTest, ClosedPortAndAbort) {
    ASSERT_TRUE(master.Close());
    EXPECT_EQ(ReadOne(), 10);
    EXPECT_TRUE(port.writes.empty());

    ASSERT_TRUE(master.Open(1, 9600, 0));
    master.AbortExchanges();
    EXPECT_EQ(ReadOne(), 8);
    ASSERT_TRUE(master.Open(1, 9600, 0));  // a new open ends the abort
    port.Answer(kAnswer1234);
    EXPECT_EQ(ReadOne(), 0);
}
