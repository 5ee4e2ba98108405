#include "scan/CallGate.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Generous: only a hang or a lost wake-up may exceed it.
constexpr int kWaitMs = 10000;

// Turns the UI thread's event loop until `done`; finer-grained than QTest::qWaitFor, whose
// 10 ms naps would dominate a test of many calls.
bool WaitUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(100us);
    }
    return true;
}

}  // namespace

TEST(CallGate, CallsRunOnTheUiThreadInOrder) {
    CCallGate gate;
    QThread* const ui = QThread::currentThread();
    std::vector<int> order;  // touched only on the UI thread
    std::vector<bool> onUi;
    std::atomic<int> succeeded{0};
    std::atomic<bool> finished{false};
    std::thread scan([&] {
        for (int i = 0; i < 200; ++i) {
            const bool ran = gate.Call([&, i] {
                order.push_back(i);
                onUi.push_back(QThread::currentThread() == ui);
            });
            succeeded += ran ? 1 : 0;
        }
        finished = true;
    });
    EXPECT_TRUE(WaitUntil([&] { return finished.load(); }));
    scan.join();
    EXPECT_EQ(succeeded.load(), 200);
    ASSERT_EQ(order.size(), 200u);
    for (int i = 0; i < 200; ++i) {
        EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
        EXPECT_TRUE(onUi[static_cast<std::size_t>(i)]);
    }
}

TEST(CallGate, ResultsComputedOnTheUiThreadReachTheCaller) {
    CCallGate gate;
    int uiValue = 41;
    std::atomic<int> seen{0};
    std::atomic<bool> finished{false};
    std::thread scan([&] {
        int result = 0;
        if (gate.Call([&] { result = ++uiValue; })) {
            seen = result;
        }
        finished = true;
    });
    EXPECT_TRUE(WaitUntil([&] { return finished.load(); }));
    scan.join();
    EXPECT_EQ(seen.load(), 42);
}

TEST(CallGate, OnTheUiThreadItRunsDirectly) {
    CCallGate gate;
    int runs = 0;
    EXPECT_TRUE(gate.Call([&] { ++runs; }));
    EXPECT_EQ(runs, 1);  // no event loop turn needed
    EXPECT_FALSE(gate.Call(std::function<void()>()));
    gate.Close();
    EXPECT_FALSE(gate.Call([&] { ++runs; }));
    EXPECT_EQ(runs, 1);
}

TEST(CallGate, CloseReleasesAWaitingCallerWithoutRunning) {
    CCallGate gate;
    std::atomic<bool> ran{false};
    std::promise<bool> result;
    auto returned = result.get_future();
    std::thread scan([&] { result.set_value(gate.Call([&] { ran = true; })); });

    // The UI thread does not turn its event loop, so the call can only wait.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
    while (gate.WaitingCalls() == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_EQ(gate.WaitingCalls(), 1);
    EXPECT_EQ(returned.wait_for(20ms), std::future_status::timeout);

    gate.Close();
    ASSERT_EQ(returned.wait_for(std::chrono::milliseconds(kWaitMs)), std::future_status::ready);
    EXPECT_FALSE(returned.get());
    scan.join();
    EXPECT_EQ(gate.WaitingCalls(), 0);

    // The event posted before the close is delivered now and must do nothing.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran.load());
}

TEST(CallGate, APostedCallDeliveredRightAfterCloseDoesNothing) {
    // The UI thread delivers the posted call at once after closing, usually before the
    // released caller has woken; either way the call must not run.
    for (int round = 0; round < 30; ++round) {
        CCallGate gate;
        std::atomic<bool> ran{false};
        std::atomic<bool> result{true};
        std::thread scan([&] { result = gate.Call([&] { ran = true; }); });
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
        while (gate.WaitingCalls() == 0 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::yield();
        }
        ASSERT_EQ(gate.WaitingCalls(), 1);
        gate.Close();
        QCoreApplication::sendPostedEvents();
        scan.join();
        EXPECT_FALSE(result.load()) << round;
        EXPECT_FALSE(ran.load()) << round;
    }
}

TEST(CallGate, LateCallsAreRefusedAtOnce) {
    CCallGate gate;
    gate.Close();
    EXPECT_TRUE(gate.IsClosed());
    std::atomic<int> runs{0};
    std::promise<bool> result;
    auto returned = result.get_future();
    std::thread scan([&] { result.set_value(gate.Call([&] { ++runs; })); });
    ASSERT_EQ(returned.wait_for(std::chrono::milliseconds(kWaitMs)), std::future_status::ready);
    EXPECT_FALSE(returned.get());
    scan.join();
    QCoreApplication::processEvents();
    EXPECT_EQ(runs.load(), 0);
}

TEST(CallGate, CloseWhileTheScanThreadKeepsCallingEndsItsLoop) {
    CCallGate gate;
    int runs = 0;  // UI thread only
    std::atomic<int> succeeded{0};
    std::atomic<bool> finished{false};
    std::thread scan([&] {
        while (gate.Call([&] { ++runs; })) {
            ++succeeded;
        }
        finished = true;
    });
    EXPECT_TRUE(WaitUntil([&] { return succeeded.load() >= 50; }));
    gate.Close();
    // Close never waits for the scan thread, and the scan thread stops calling.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
    while (!finished && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_TRUE(finished.load());
    scan.join();
    QCoreApplication::processEvents();
    EXPECT_EQ(runs, succeeded.load());
}

TEST(CallGate, ACallThatHasStartedIsWaitedForEvenWhenClosedMeanwhile) {
    CCallGate gate;
    std::atomic<bool> finished{false};
    std::atomic<bool> returned{false};
    std::vector<int> steps;  // UI thread while the caller waits
    std::thread scan([&] {
        returned = gate.Call([&] {
            steps.push_back(1);
            gate.Close();  // as a nested teardown inside the call would
            steps.push_back(2);
        });
        finished = true;
    });
    EXPECT_TRUE(WaitUntil([&] { return finished.load(); }));
    scan.join();
    EXPECT_TRUE(returned.load());
    EXPECT_EQ(steps, (std::vector<int>{1, 2}));
    EXPECT_TRUE(gate.IsClosed());
}

TEST(CallGate, DestroyingTheGateDropsQueuedCalls) {
    std::atomic<bool> ran{false};
    std::atomic<bool> released{false};
    auto gate = std::make_unique<CCallGate>();
    std::thread scan([&] { released = !gate->Call([&] { ran = true; }); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
    while (gate->WaitingCalls() == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    gate->Close();
    scan.join();
    gate.reset();
    QCoreApplication::processEvents();
    EXPECT_TRUE(released.load());
    EXPECT_FALSE(ran.load());
}
