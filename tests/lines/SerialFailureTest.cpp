#include <gtest/gtest.h>
#include <time.h>

#include <cerrno>
#include <thread>

#include "PtyPair.h"
#include "lines/PosixSerialPort.h"

namespace {

long long ThreadCpuMs() {
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

class SerialFailureTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.Ok());
        ASSERT_TRUE(port.Open(pty.Path())) << port.LastError();
        ASSERT_TRUE(port.SetLine(MasterDcb()));
        SerialTimeouts t;
        t.ReadIntervalTimeout = 20;
        t.ReadTotalTimeoutConstant = 5000;
        ASSERT_TRUE(port.SetTimeouts(t));
    }

    template <typename F>
    std::thread After(int ms, F f) {
        return std::thread([ms, f] {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            f();
        });
    }

    PtyPair pty;
    CPosixSerialPort port;
    std::uint8_t buf[64] = {};
    std::uint32_t n = 0;
};

TEST_F(SerialFailureTest, WaitingReadDoesNotBurnTheProcessor) {
    SerialTimeouts t;
    t.ReadTotalTimeoutConstant = 400;
    ASSERT_TRUE(port.SetTimeouts(t));
    const long long cpu = ThreadCpuMs();
    ASSERT_TRUE(port.Read(buf, 10, &n));
    EXPECT_LT(ThreadCpuMs() - cpu, 100);
}

TEST_F(SerialFailureTest, AbortCutsAWaitingReadShortAndStaysUntilTheNextOpen) {
    std::thread aborter = After(100, [this] { port.Abort(); });
    Stopwatch sw;
    EXPECT_FALSE(port.Read(buf, 10, &n));
    aborter.join();
    EXPECT_LT(sw.Ms(), 2000);
    EXPECT_EQ(port.LastError(), ECANCELED);

    // Sticky: data waiting or not, later transfers fail at once.
    pty.Send({1, 2, 3});
    Stopwatch later;
    EXPECT_FALSE(port.Read(buf, 10, &n));
    EXPECT_EQ(n, 0u);
    EXPECT_FALSE(port.Write(buf, 1, &n));
    EXPECT_EQ(port.LastError(), ECANCELED);
    EXPECT_LT(later.Ms(), 500);
    EXPECT_TRUE(port.IsOpen());

    ASSERT_TRUE(port.Close());
    ASSERT_TRUE(port.Open(pty.Path()));
    SerialTimeouts t;
    t.ReadTotalTimeoutConstant = 1000;
    ASSERT_TRUE(port.SetTimeouts(t));
    pty.Send({0x5A});
    ASSERT_TRUE(port.Read(buf, 1, &n)) << port.LastError();
    EXPECT_EQ(n, 1u);
    EXPECT_EQ(buf[0], 0x5A);
}

TEST_F(SerialFailureTest, AbortCutsAReadWithoutAnyTimeout) {
    ASSERT_TRUE(port.SetTimeouts(SerialTimeouts{}));
    std::thread aborter = After(100, [this] { port.Abort(); });
    Stopwatch sw;
    EXPECT_FALSE(port.Read(buf, 10, &n));
    aborter.join();
    EXPECT_LT(sw.Ms(), 2000);
}

TEST_F(SerialFailureTest, AbortBeforeOpenIsClearedByOpen) {
    CPosixSerialPort other;
    other.Abort();
    ASSERT_TRUE(port.Close());
    ASSERT_TRUE(other.Open(pty.Path()));
    SerialTimeouts atOnce;
    atOnce.ReadIntervalTimeout = kReadAtOnce;
    ASSERT_TRUE(other.SetTimeouts(atOnce));
    EXPECT_TRUE(other.Read(buf, 1, &n));
}

TEST_F(SerialFailureTest, FarEndVanishingFailsAWaitingReadAtOnce) {
    std::thread closer = After(100, [this] { pty.CloseMaster(); });
    Stopwatch sw;
    const long long cpu = ThreadCpuMs();
    EXPECT_FALSE(port.Read(buf, 10, &n));
    closer.join();
    EXPECT_LT(sw.Ms(), 2000);
    EXPECT_LT(ThreadCpuMs() - cpu, 200);
    EXPECT_EQ(port.LastError(), EIO);

    EXPECT_FALSE(port.Write(buf, 1, &n));
    EXPECT_EQ(port.LastError(), EIO);

    std::uint32_t errors = 0;
    SerialStatus status;
    EXPECT_FALSE(port.ClearError(&errors, &status));
    EXPECT_NE(errors & kCommErrorDevice, 0u);
    std::uint32_t again = 0;
    port.ClearError(&again, nullptr);
    EXPECT_EQ(again, 0u) << "the flags are cleared once read";
    EXPECT_TRUE(port.Close());
}

TEST_F(SerialFailureTest, FarEndGoneWhileIdleFailsEveryTransfer) {
    pty.CloseMaster();
    for (const SerialTimeouts& t :
         {SerialTimeouts{}, SerialTimeouts{kReadAtOnce, 0, 0, 0, 0},
          SerialTimeouts{20, 1, 5000, 0, 0}, SerialTimeouts{kReadAtOnce, 0xFFFFFFFF, 5000, 0, 0}}) {
        ASSERT_TRUE(port.SetTimeouts(t));
        Stopwatch sw;
        EXPECT_FALSE(port.Read(buf, 4, &n));
        EXPECT_EQ(n, 0u);
        EXPECT_EQ(port.LastError(), EIO);
        EXPECT_FALSE(port.Write(buf, 4, &n));
        EXPECT_EQ(port.LastError(), EIO);
        EXPECT_LT(sw.Ms(), 500);
    }
    EXPECT_FALSE(port.Purge(kPurgeAll));
    // The owner can still close and try to open again; the dead device refuses cleanly.
    EXPECT_TRUE(port.Close());
}

TEST_F(SerialFailureTest, AbortFromManyThreadsIsSafe) {
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([this] {
            for (int k = 0; k < 100; ++k) {
                port.Abort();
            }
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    EXPECT_FALSE(port.Read(buf, 1, &n));
    EXPECT_EQ(port.LastError(), ECANCELED);
}

}  // namespace
