#include "scan/TestRamp.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Action = CTestRamp::Action;

// One scan cycle as the view runs it.
CTestRamp::Step Cycle(CTestRamp& ramp, bool checked, const QString& inc1 = "1",
                      const QString& inc2 = "1") {
    const auto step = ramp.Next(checked, inc1, inc2);
    ramp.Commit(step);
    if (step.action == Action::Read) {
        ramp.AfterRead(checked);
    }
    return step;
}

// Brings channel 1 to `value` while rising, with channel 2 following by the same amount.
void RampTo(CTestRamp& ramp, int value) {
    Cycle(ramp, true);  // read
    Cycle(ramp, true, QString::number(value), QString::number(value));
    Cycle(ramp, true, QString::number(value), QString::number(value));
}

}  // namespace

TEST(TestRamp, DefaultIncrementWritesEveryThirdCycle) {
    CTestRamp ramp;
    std::vector<int> ch1;
    std::vector<int> ch2;
    int reads = 0;
    const int cycles = 3 * 8010;
    for (int c = 0; c < cycles; ++c) {
        const auto step = Cycle(ramp, true);
        switch (c % 3) {
            case 0:
                ASSERT_EQ(step.action, Action::Read) << c;
                ++reads;
                break;
            case 1:
                ASSERT_EQ(step.action, Action::WriteChannel1) << c;
                ASSERT_EQ(step.wRegister, 0);
                ch1.push_back(step.wValue);
                break;
            default:
                ASSERT_EQ(step.action, Action::WriteChannel2) << c;
                ASSERT_EQ(step.wRegister, 1);
                ch2.push_back(step.wValue);
                break;
        }
    }
    EXPECT_EQ(reads, 8010);
    ASSERT_EQ(ch1.size(), 8010u);
    EXPECT_EQ(ch1, ch2);
    // 1, 2, ... 4000, 3999, ... 0, 1, ...
    for (std::size_t i = 0; i < ch1.size(); ++i) {
        const int n = static_cast<int>(i) + 1;
        const int expected = n <= 4000 ? n : (n <= 8000 ? 8000 - n : n - 8000);
        ASSERT_EQ(ch1[i], expected) << i;
    }
}

TEST(TestRamp, TopClampsAndTurnsTheChannel) {
    CTestRamp ramp;
    RampTo(ramp, 3999);
    EXPECT_EQ(ramp.Value(1), 3999);
    EXPECT_FALSE(ramp.Falling(1));
    Cycle(ramp, true);  // read
    auto step = Cycle(ramp, true, "5");
    EXPECT_EQ(step.action, Action::WriteChannel1);
    EXPECT_EQ(step.wValue, 4000);
    EXPECT_TRUE(ramp.Falling(1));
    EXPECT_FALSE(ramp.Falling(2));
    Cycle(ramp, true, "5", "0");  // channel 2 stays at 3999
    EXPECT_EQ(ramp.Value(2), 3999);
    Cycle(ramp, true);
    step = Cycle(ramp, true, "5");
    EXPECT_EQ(step.wValue, 3995);
}

TEST(TestRamp, BottomClampsAndTurnsTheChannel) {
    CTestRamp ramp;
    RampTo(ramp, 9999);  // four characters: 4000 at once
    EXPECT_EQ(ramp.Value(1), 4000);
    EXPECT_TRUE(ramp.Falling(1));
    Cycle(ramp, true);
    const auto step = Cycle(ramp, true, "9999");
    EXPECT_EQ(step.wValue, 0);
    EXPECT_FALSE(ramp.Falling(1));
}

TEST(TestRamp, NegativeOrZeroIncrements) {
    CTestRamp ramp;
    RampTo(ramp, 10);
    Cycle(ramp, true);
    EXPECT_EQ(Cycle(ramp, true, "0").wValue, 10);
    Cycle(ramp, true, "0", "0");
    Cycle(ramp, true);
    EXPECT_EQ(Cycle(ramp, true, "0").wValue, 10);
    Cycle(ramp, true, "0", "0");
    Cycle(ramp, true);
    EXPECT_EQ(Cycle(ramp, true, "-3").wValue, 7);  // rising by a negative step goes down
    Cycle(ramp, true, "0", "abc");
    EXPECT_EQ(ramp.Value(2), 10);
    Cycle(ramp, true);
    EXPECT_EQ(Cycle(ramp, true, "-50").wValue, 0);
    EXPECT_FALSE(ramp.Falling(1));
}

TEST(TestRamp, UncheckingMidPhaseMakesTheNextCycleARead) {
    CTestRamp ramp;
    Cycle(ramp, true);
    EXPECT_EQ(ramp.Phase(), 1);
    EXPECT_EQ(Cycle(ramp, false).action, Action::Read);
    EXPECT_EQ(ramp.Phase(), 0);
    EXPECT_EQ(ramp.Value(1), 0);

    Cycle(ramp, true);
    Cycle(ramp, true);  // channel 1
    EXPECT_EQ(ramp.Phase(), 2);
    EXPECT_EQ(Cycle(ramp, false).action, Action::Read);
    EXPECT_EQ(ramp.Phase(), 0);
    EXPECT_EQ(ramp.Value(2), 0);
    EXPECT_EQ(Cycle(ramp, true).action, Action::Read);
    EXPECT_EQ(Cycle(ramp, true).action, Action::WriteChannel1);
}

TEST(TestRamp, BoxStateAfterTheReadDecidesTheNextPhase) {
    CTestRamp ramp;
    auto step = ramp.Next(true, "1", "1");
    ASSERT_EQ(step.action, Action::Read);
    ramp.AfterRead(false);
    EXPECT_EQ(ramp.Phase(), 0);
    step = ramp.Next(false, "1", "1");
    ASSERT_EQ(step.action, Action::Read);
    ramp.AfterRead(true);
    EXPECT_EQ(ramp.Phase(), 1);
    EXPECT_EQ(ramp.Next(true, "1", "1").action, Action::WriteChannel1);
}

TEST(TestRamp, StateSurvivesUncheckedCycles) {
    CTestRamp ramp;
    RampTo(ramp, 100);
    for (int i = 0; i < 5; ++i) {
        Cycle(ramp, false);
    }
    EXPECT_EQ(ramp.Value(1), 100);
    Cycle(ramp, true);
    EXPECT_EQ(Cycle(ramp, true).wValue, 101);
}
