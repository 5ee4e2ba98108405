#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/lines/PtyPair.h"

#include "platform/Clock.h"
#include "platform/CriticalSection.h"
#include "platform/Event.h"

namespace {

TEST(EventTest, OneSignalReleasesOneWaiter) {
    CEvent event;
    std::atomic<int> released{0};
    std::thread a([&] { released += event.Wait(300) ? 1 : 0; });
    std::thread b([&] { released += event.Wait(300) ? 1 : 0; });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    event.SetEvent();
    a.join();
    b.join();
    EXPECT_EQ(released, 1);
}

TEST(EventTest, SignalIsKeptUntilOneWaitTakesIt) {
    CEvent event;
    event.SetEvent();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.Wait(0)) << "auto-reset";

    CEvent signalled(true);
    EXPECT_TRUE(signalled.Wait(0));
    EXPECT_FALSE(signalled.Wait(0));

    event.SetEvent();
    event.ResetEvent();
    EXPECT_FALSE(event.Wait(0));
}

TEST(EventTest, TimedWaitReturnsFalseAfterTheTimeout) {
    CEvent event;
    Stopwatch sw;
    EXPECT_FALSE(event.Wait(150));
    EXPECT_GE(sw.Ms(), 140);
    EXPECT_LT(sw.Ms(), 2000);
}

TEST(EventTest, InfiniteWaitEndsAtTheSignal) {
    CEvent event;
    std::thread setter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        event.SetEvent();
    });
    Stopwatch sw;
    EXPECT_TRUE(event.Wait(0xFFFFFFFF));
    setter.join();
    EXPECT_GE(sw.Ms(), 90);
}

TEST(CriticalSectionTest, LockIsRecursiveAndWaitsWhateverTheTimeout) {
    CCriticalSection cs;
    ASSERT_TRUE(cs.Lock());
    ASSERT_TRUE(cs.Lock(0));  // the same thread may take it again

    std::atomic<bool> taken{false};
    std::thread other([&] {
        EXPECT_TRUE(cs.Lock(0));  // a 0 ms time-out still waits for the owner
        taken = true;
        cs.Unlock();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(taken);
    cs.Unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(taken) << "still held once";
    cs.Unlock();
    other.join();
    EXPECT_TRUE(taken);
}

TEST(ClockTest, TickCountIsMonotonicAndFollowsSleep) {
    std::uint32_t last = TimeGetTime();
    for (int i = 0; i < 100000; ++i) {
        const std::uint32_t now = TimeGetTime();
        ASSERT_LT(now - last, 1000u) << "never runs backwards";
        last = now;
    }
    const std::uint32_t before = TimeGetTime();
    SleepMs(60);
    const std::uint32_t slept = TimeGetTime() - before;
    EXPECT_GE(slept, 59u);
    EXPECT_LT(slept, 2000u);
}

}  // namespace
