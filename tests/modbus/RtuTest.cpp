#include <cerrno>

#include "tests/modbus/LineFixture.h"

namespace {

class RtuTest : public LineTest {
protected:
    void SetUp() override { OpenLine(0); }
};

}  // namespace

TEST_F(RtuTest, ReadHoldingRegisterOnTheWire) {
    port.Answer(Bytes{0x01, 0x03, 0x02, 0x12, 0x34, 0xB5, 0x33});
    WordArray values(1, 0xFFFF);
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 1, values), 0);
    ASSERT_EQ(port.writes.size(), 1u);
    EXPECT_EQ(port.writes[0], (Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A}));
    EXPECT_EQ(port.purges, std::vector<std::uint32_t>{0x0F});
    EXPECT_EQ(port.readSizes, (std::vector<std::uint32_t>{4, 508}));
    EXPECT_EQ(values, WordArray{0x1234});
}

TEST_F(RtuTest, TransactHandsBackThePayload) {
    port.Answer(Bytes{0x01, 0x03, 0x02, 0x12, 0x34, 0xB5, 0x33});
    ByteArray request{1, 3, 0, 0, 0, 1};
    ByteArray response;
    std::uint16_t received = 0;
    EXPECT_EQ(master.Transact(request, 6, response, 5, &received), 0);
    EXPECT_EQ(response, (ByteArray{0x01, 0x03, 0x02, 0x12, 0x34}));
    EXPECT_EQ(received, 5);
    EXPECT_EQ(request, (ByteArray{1, 3, 0, 0, 0, 1, 0x84, 0x0A}));  // the check is appended
}

TEST_F(RtuTest, OpenLengthReturnsReceivedLessTheCheck) {
    port.Answer(WithCrc({0x01, 0x03, 0x04, 0xAA, 0xBB, 0xCC, 0xDD}));
    ByteArray request{1, 3, 0, 0, 0, 2};
    ByteArray response;
    std::uint16_t received = 0;
    EXPECT_EQ(master.Transact(request, 6, response, 0, &received), 0);
    EXPECT_EQ(received, 7);
    EXPECT_EQ(response, (ByteArray{0x01, 0x03, 0x04, 0xAA, 0xBB, 0xCC, 0xDD}));

    port.Answer(Bytes{0x01, 0x03, 0x04, 0xAA, 0xBB, 0xCC, 0xDD, 0x00, 0x00});
    EXPECT_EQ(master.Transact(request, 6, response, 0, &received), 3);
}

TEST_F(RtuTest, SlaveException) {
    port.Answer(Bytes{0x01, 0x83, 0x02, 0xC0, 0xF1});
    WordArray values(1, 7);
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 1, values), 0x8002);
    EXPECT_EQ(values, WordArray{0});

    port.Answer(Bytes{0x01, 0x83, 0x02, 0xC0, 0xF2});  // exception with a bad check
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 1, values), 3);
}

TEST_F(RtuTest, FunctionByte0x80IsANormalAnswer) {
    port.Answer(WithCrc({0x01, 0x80, 0x02, 0x12, 0x34}));
    WordArray values(1);
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 1, values), 2);
}

TEST_F(RtuTest, CrcAndLengthFaults) {
    WordArray values(1);
    port.Answer(Bytes{0x01, 0x03, 0x02, 0x12, 0x34, 0xB5, 0x34});
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 1, values), 3);
    port.Answer(Bytes{0x01, 0x03, 0x02, 0x12, 0x34, 0xB5});  // one byte short
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 1, values), 3);
    port.Answer(Bytes{0x01, 0x03});  // under the first read's 4 bytes
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 1, values), 3);
    EXPECT_EQ(port.readSizes.back(), 4u);
}

TEST_F(RtuTest, LongerAnswerWithValidLeadingCrcIsRejected) {
    port.Answer(Bytes{0x01, 0x03, 0x02, 0x12, 0x34, 0xB5, 0x33, 0x55, 0x66});
    WordArray values(1);
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 1, values), 3);
    EXPECT_EQ(values, WordArray{0});
}

TEST_F(RtuTest, ExpectedLengthBeyondTheFrameBufferIsACrcError) {
    // 511 + 2 bytes can never fit the 512-byte frame; nothing past it is read.
    port.Answer(Bytes(512, 0x01));
    ByteArray request{1, 3, 0, 0, 0, 1};
    ByteArray response;
    EXPECT_EQ(master.Transact(request, 6, response, 511, nullptr), 3);
    EXPECT_EQ(response.size(), 511u);

    // A quantity whose answer length wraps 16 bits must not pass as a short answer.
    port.Answer(WithCrc({0x01}));
    WordArray values(40000);
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 32767, values), 3);
    EXPECT_EQ(values.size(), 40000u);
}

TEST_F(RtuTest, ShortFakeExceptionNeverReadsBeyondWhatCame) {
    // The CRC of 01 83 41 is 0x0081: with the zero behind the fourth byte it would pass.
    for (const Bytes& answer :
         {Bytes{0x01, 0x83}, Bytes{0x01, 0x83, 0x02}, Bytes{0x01, 0x83, 0x41, 0x81}}) {
        port.Answer(answer);
        ByteArray request{1, 3, 0, 0, 0, 1};
        ByteArray response;
        EXPECT_EQ(master.Transact(request, 6, response, 5, nullptr), 3) << answer.size();
    }
}

TEST_F(RtuTest, ShortRequestArrayIsZeroPadded) {
    port.Answer(WithCrc({0x01, 0x03, 0x00}));
    ByteArray request{1, 3};
    ByteArray response;
    EXPECT_EQ(master.Transact(request, 6, response, 3, nullptr), 0);
    EXPECT_EQ(port.writes[0], WithCrc({1, 3, 0, 0, 0, 0}));
}

TEST_F(RtuTest, LineFailures) {
    WordArray values(1);
    port.Answer(Bytes{0x01});
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 1, values), 3);

    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 1, values), 1);  // nothing came

    port.FailRead();
    int clears = port.errorClears;
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 1, values), 9);
    EXPECT_GT(port.errorClears, clears);

    port.Answer(Bytes{0x01, 0x03, 0x02, 0x12});  // first read full, second fails
    port.FailRead();
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 1, values), 9);

    port.writeOk = false;
    clears = port.errorClears;
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 1, values), 8);
    EXPECT_GT(port.errorClears, clears);
}

TEST_F(RtuTest, WriteWaitsForTheTransmitQueue) {
    port.outQueue = {8, 5, 2};
    port.Answer(Bytes{0x01, 0x03, 0x02, 0x12, 0x34, 0xB5, 0x33});
    WordArray values(1);
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 1, values), 0);
    EXPECT_TRUE(port.outQueue.empty());

    port.outQueueAfter = 3;  // never drains within the 30 ms time-out
    port.Answer(Bytes{0x01, 0x03, 0x02, 0x12, 0x34, 0xB5, 0x33});
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 1, values), 8);
}

TEST_F(RtuTest, ClosedPortAndAbort) {
    ASSERT_TRUE(master.Close());
    WordArray values(1);
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 1, values), 10);
    EXPECT_TRUE(port.writes.empty());

    ASSERT_TRUE(master.Open(1, 9600, 0));
    master.AbortExchanges();
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 1, values), 8);
    ASSERT_TRUE(master.Open(1, 9600, 0));  // a new open clears the abort
    port.Answer(Bytes{0x01, 0x03, 0x02, 0x12, 0x34, 0xB5, 0x33});
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 1, values), 0);
}
