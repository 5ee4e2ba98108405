#include <gtest/gtest.h>

#include <thread>

#include "PtyPair.h"
#include "lines/PosixSerialPort.h"

namespace {

// Bounds are generous on purpose: a read must not end clearly before its time-out, and must
// end well before the next larger one would.
class SerialReadTimeoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.Ok());
        ASSERT_TRUE(port.Open(pty.Path())) << port.LastError();
        ASSERT_TRUE(port.SetLine(MasterDcb()));
    }

    void Use(std::uint32_t interval, std::uint32_t multiplier, std::uint32_t constant) {
        SerialTimeouts t;
        t.ReadIntervalTimeout = interval;
        t.ReadTotalTimeoutMultiplier = multiplier;
        t.ReadTotalTimeoutConstant = constant;
        ASSERT_TRUE(port.SetTimeouts(t));
    }

    // Sends the chunks from another thread, each after its delay.
    std::thread Later(std::vector<std::pair<int, std::vector<std::uint8_t>>> chunks) {
        return std::thread([this, chunks] {
            for (const auto& [delayMs, bytes] : chunks) {
                std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
                pty.Send(bytes);
            }
        });
    }

    PtyPair pty;
    CPosixSerialPort port;
    std::uint8_t buf[512] = {};
    std::uint32_t received = 0;
};

TEST_F(SerialReadTimeoutTest, TotalConstantEndsTheReadWithWhatCame) {
    Use(0, 0, 300);
    pty.Send({0xA1, 0xA2, 0xA3});
    Stopwatch sw;
    ASSERT_TRUE(port.Read(buf, 10, &received));
    EXPECT_GE(sw.Ms(), 280);
    EXPECT_LT(sw.Ms(), 2000);
    ASSERT_EQ(received, 3u);
    EXPECT_EQ(buf[0], 0xA1);
    EXPECT_EQ(buf[2], 0xA3);

    // Nothing at all: a time-out is still a successful read, of nothing.
    Stopwatch empty;
    ASSERT_TRUE(port.Read(buf, 10, &received));
    EXPECT_EQ(received, 0u);
    EXPECT_GE(empty.Ms(), 280);
}

TEST_F(SerialReadTimeoutTest, TotalScalesWithTheBytesAsked) {
    Use(0, 40, 50);  // 5 bytes: 250 ms
    Stopwatch sw;
    ASSERT_TRUE(port.Read(buf, 5, &received));
    EXPECT_EQ(received, 0u);
    EXPECT_GE(sw.Ms(), 230);
    EXPECT_LT(sw.Ms(), 2000);
}

TEST_F(SerialReadTimeoutTest, FourAskedTwoThereEndsAtTheTotal) {
    // The RTU first read: 4 bytes asked, bounded by 4 x tc + the response time-out.
    Use(5, 1, 300);
    pty.Send({0x01, 0x83});
    Stopwatch sw;
    ASSERT_TRUE(port.Read(buf, 4, &received));
    EXPECT_EQ(received, 2u);
    EXPECT_EQ(buf[0], 0x01);
    EXPECT_EQ(buf[1], 0x83);
    EXPECT_LT(sw.Ms(), 2000);
}

TEST_F(SerialReadTimeoutTest, ReadReturnsAsSoonAsAllAskedHaveCome) {
    Use(0, 0, 5000);
    std::thread sender = Later({{100, {1, 2}}, {50, {3, 4}}});
    Stopwatch sw;
    ASSERT_TRUE(port.Read(buf, 4, &received));
    sender.join();
    EXPECT_EQ(received, 4u);
    EXPECT_LT(sw.Ms(), 2500);
}

TEST_F(SerialReadTimeoutTest, IntervalEndsTheReadAfterAGap) {
    // Two bursts 30 ms apart stay one read; then the line is silent for longer than 150 ms.
    Use(150, 0, 5000);
    std::thread sender = Later({{50, {1, 2}}, {30, {3, 4}}});
    Stopwatch sw;
    ASSERT_TRUE(port.Read(buf, 100, &received));
    sender.join();
    EXPECT_EQ(received, 4u);
    EXPECT_GE(sw.Ms(), 180);
    EXPECT_LT(sw.Ms(), 2500);
    EXPECT_EQ(buf[3], 4);
}

TEST_F(SerialReadTimeoutTest, IntervalDoesNotRunBeforeTheFirstByte) {
    Use(30, 0, 400);
    Stopwatch sw;
    ASSERT_TRUE(port.Read(buf, 10, &received));
    EXPECT_EQ(received, 0u);
    EXPECT_GE(sw.Ms(), 380) << "silence before the first byte is bounded by the total alone";
}

TEST_F(SerialReadTimeoutTest, RtuReadInTwoStepsEndsAtSilence) {
    Use(50, 1, 300);
    pty.Send({0x01, 0x03, 0x02, 0x12, 0x34, 0xB5, 0x33});
    ASSERT_TRUE(WaitForInQueue(port, 7));
    ASSERT_TRUE(port.Read(buf, 4, &received));
    ASSERT_EQ(received, 4u);
    Stopwatch sw;
    std::uint32_t rest = 0;
    ASSERT_TRUE(port.Read(buf + 4, 508, &rest));
    EXPECT_EQ(rest, 3u);
    EXPECT_EQ(buf[6], 0x33);
    EXPECT_LT(sw.Ms(), 300) << "the interval, not the 808 ms total, ends the frame";
}

TEST_F(SerialReadTimeoutTest, ReadAtOnceReturnsImmediatelyWithWhatHasArrived) {
    Use(kReadAtOnce, 0, 0);
    Stopwatch sw;
    ASSERT_TRUE(port.Read(buf, 1, &received));
    EXPECT_EQ(received, 0u);
    EXPECT_LT(sw.Ms(), 200);

    pty.Send({':', '0', '1'});
    ASSERT_TRUE(WaitForInQueue(port, 3));
    Stopwatch sw2;
    ASSERT_TRUE(port.Read(buf, 10, &received));
    EXPECT_EQ(received, 3u);
    EXPECT_EQ(buf[0], ':');
    EXPECT_LT(sw2.Ms(), 200);
}

TEST_F(SerialReadTimeoutTest, ReadAtOnceWithTotalWaitsForTheFirstByteOnly) {
    Use(kReadAtOnce, 0xFFFFFFFF, 3000);
    std::thread sender = Later({{100, {7, 8}}});
    Stopwatch sw;
    ASSERT_TRUE(port.Read(buf, 10, &received));
    sender.join();
    EXPECT_GE(received, 1u);
    EXPECT_LT(sw.Ms(), 2000);

    Use(kReadAtOnce, 0xFFFFFFFF, 200);
    Stopwatch sw2;
    ASSERT_TRUE(port.Read(buf, 10, &received));
    EXPECT_EQ(received, 0u);
    EXPECT_GE(sw2.Ms(), 180);
    EXPECT_LT(sw2.Ms(), 2000);
}

TEST_F(SerialReadTimeoutTest, NoTimeoutsWaitForEveryByteAsked) {
    Use(0, 0, 0);
    std::thread sender = Later({{100, {1}}, {100, {2, 3}}});
    Stopwatch sw;
    ASSERT_TRUE(port.Read(buf, 3, &received));
    sender.join();
    EXPECT_EQ(received, 3u);
    EXPECT_GE(sw.Ms(), 180);
}

TEST_F(SerialReadTimeoutTest, ZeroBytesAskedSucceedAtOnce) {
    Use(0, 0, 0);
    Stopwatch sw;
    EXPECT_TRUE(port.Read(buf, 0, &received));
    EXPECT_EQ(received, 0u);
    EXPECT_LT(sw.Ms(), 200);
}

}  // namespace
