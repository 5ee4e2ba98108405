#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

#include "PtyPair.h"
#include "lines/PosixSerialPort.h"

namespace {

std::vector<std::uint8_t> Pattern(std::size_t n) {
    std::vector<std::uint8_t> bytes(n);
    for (std::size_t i = 0; i < n; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    }
    return bytes;
}

class SerialWriteTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.Ok());
        ASSERT_TRUE(port.Open(pty.Path())) << port.LastError();
        ASSERT_TRUE(port.SetLine(MasterDcb()));
    }

    void Use(std::uint32_t multiplier, std::uint32_t constant) {
        SerialTimeouts t;
        t.WriteTotalTimeoutMultiplier = multiplier;
        t.WriteTotalTimeoutConstant = constant;
        ASSERT_TRUE(port.SetTimeouts(t));
    }

    PtyPair pty;
    CPosixSerialPort port;
};

TEST_F(SerialWriteTest, UnboundedWriteWaitsUntilEveryByteIsTaken) {
    // Far more than a pseudo-terminal buffers, so the write has to wait for the far end.
    const std::vector<std::uint8_t> data = Pattern(200000);
    Use(0, 0);
    std::vector<std::uint8_t> seen;
    std::thread reader([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        seen = pty.Receive(data.size(), 5000);
    });
    std::uint32_t written = 0;
    const bool ok = port.Write(data.data(), static_cast<std::uint32_t>(data.size()), &written);
    reader.join();
    EXPECT_TRUE(ok) << port.LastError();
    EXPECT_EQ(written, data.size());
    EXPECT_EQ(seen, data);
}

TEST_F(SerialWriteTest, WriteThatCannotGoOutFailsAtItsTimeout) {
    const std::vector<std::uint8_t> data = Pattern(200000);
    Use(0, 300);
    Stopwatch sw;
    std::uint32_t written = 0;
    EXPECT_FALSE(port.Write(data.data(), static_cast<std::uint32_t>(data.size()), &written));
    EXPECT_EQ(port.LastError(), ETIMEDOUT);
    EXPECT_GT(written, 0u);
    EXPECT_LT(written, data.size());
    EXPECT_GE(sw.Ms(), 280);
    EXPECT_LT(sw.Ms(), 3000);

    // What did go out is intact and in order.
    EXPECT_EQ(pty.Receive(written, 3000),
              std::vector<std::uint8_t>(data.begin(), data.begin() + written));
}

TEST_F(SerialWriteTest, HugeWriteBoundIsCappedNotWrapped) {
    const std::vector<std::uint8_t> data = Pattern(200000);
    Use(0xFFFFFFFF, 0xFFFFFFFF);  // the product is capped, not wrapped to a short bound
    std::uint32_t written = 0;
    std::thread aborter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        port.Abort();
    });
    Stopwatch sw;
    EXPECT_FALSE(port.Write(data.data(), static_cast<std::uint32_t>(data.size()), &written));
    aborter.join();
    EXPECT_EQ(port.LastError(), ECANCELED) << "the huge bound held until the abort";
    EXPECT_GE(sw.Ms(), 280);
    EXPECT_LT(sw.Ms(), 3000);
}

TEST_F(SerialWriteTest, EmptyWriteSucceeds) {
    std::uint32_t written = 5;
    EXPECT_TRUE(port.Write(nullptr, 0, &written));
    EXPECT_EQ(written, 0u);
    EXPECT_FALSE(port.Write(nullptr, 3, &written));
    EXPECT_EQ(port.LastError(), EINVAL);
}

TEST_F(SerialWriteTest, TransmitQueueReadsEmptyOnceWritten) {
    // The master's drain polls cbOutQue until it is 0; a pseudo-terminal always reports 0.
    const std::uint8_t frame[] = {0x01, 0x06, 0x00, 0x01, 0x00, 0x03, 0x98, 0x0B};
    ASSERT_TRUE(port.Write(frame, sizeof frame, nullptr));
    SerialStatus status;
    ASSERT_TRUE(port.ClearError(nullptr, &status));
    EXPECT_EQ(status.cbOutQue, 0u);
    EXPECT_EQ(pty.Receive(8, 2000), std::vector<std::uint8_t>(frame, frame + 8));
}

}  // namespace
