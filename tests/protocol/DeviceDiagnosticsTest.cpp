// A device's counters and event log as its line layer and its answers feed them: which counter
// each kind of frame and answer moves, the event byte each logs, and the log's bound.
#include <gtest/gtest.h>

#include "protocol/DeviceDiagnostics.h"
#include "protocol/Limits.h"

namespace {

using protocol::Bytes;
using protocol::CDeviceDiagnostics;

TEST(DeviceDiagnostics, EachExceptionSentLogsItsBit) {
    struct Case {
        std::uint8_t code;
        std::uint8_t event;
        std::uint16_t naks;
        std::uint16_t busy;
    };
    const Case cases[] = {
        {1, 0x41, 0, 0}, {2, 0x41, 0, 0}, {3, 0x41, 0, 0}, {4, 0x42, 0, 0},  {5, 0x44, 0, 0},
        {6, 0x44, 0, 1}, {7, 0x48, 1, 0}, {8, 0x40, 0, 0}, {11, 0x40, 0, 0},
    };
    for (const Case& c : cases) {
        CDeviceDiagnostics diagnostics;
        diagnostics.Answered(3, Bytes{0x83, c.code});
        EXPECT_EQ(diagnostics.Events().front(), c.event) << int{c.code};
        EXPECT_EQ(diagnostics.Count().exceptions, 1) << int{c.code};
        EXPECT_EQ(diagnostics.Count().naks, c.naks) << int{c.code};
        EXPECT_EQ(diagnostics.Count().busy, c.busy) << int{c.code};
        EXPECT_EQ(diagnostics.Count().noResponses, 0) << int{c.code};
        EXPECT_EQ(diagnostics.EventCount(), 0) << int{c.code};
    }
}

TEST(DeviceDiagnostics, CompletionsCountButNotTheCounterReadsNorSilence) {
    CDeviceDiagnostics diagnostics;
    diagnostics.Answered(3, Bytes{3, 2, 0, 0});
    diagnostics.Answered(6, Bytes{6, 0, 1, 0, 1}, true);  // a broadcast carried out
    diagnostics.Answered(11, Bytes{11, 0, 0, 0, 2});
    diagnostics.Answered(12, Bytes{12, 6, 0, 0, 0, 2, 0, 0});
    diagnostics.Answered(8, std::nullopt);
    diagnostics.Answered(3, Bytes{0x83, 2}, true);  // a broadcast's exception is never sent
    EXPECT_EQ(diagnostics.EventCount(), 2);
    EXPECT_EQ(diagnostics.Count().noResponses, 3);
    EXPECT_EQ(diagnostics.Count().exceptions, 0);
    EXPECT_EQ(diagnostics.Events(), (std::deque<std::uint8_t>{0x40, 0x40, 0x40, 0x40, 0x40, 0x40}));
}

TEST(DeviceDiagnostics, FramesHeardMoveTheirCountersAndLogReceiveEvents) {
    CDeviceDiagnostics diagnostics;
    diagnostics.MessageHeard(false, false);
    EXPECT_TRUE(diagnostics.Events().empty());
    diagnostics.MessageHeard(true, false);
    diagnostics.MessageHeard(true, true);
    diagnostics.CheckError();
    diagnostics.SetListenOnly(true);
    diagnostics.CharacterOverrun();
    diagnostics.Answered(3, std::nullopt);
    EXPECT_EQ(diagnostics.Events(), (std::deque<std::uint8_t>{0x60, 0xB0, 0x04, 0x82, 0xC0, 0x80}));
    const CDeviceDiagnostics::Counters& count = diagnostics.Count();
    EXPECT_EQ(count.busMessages, 3);
    EXPECT_EQ(count.serverMessages, 2);
    EXPECT_EQ(count.busCheckErrors, 1);
    EXPECT_EQ(count.characterOverruns, 1);
    EXPECT_EQ(diagnostics.DiagnosticRegister(), protocol::kOverrunFlag);
    diagnostics.SetListenOnly(true);  // already in the mode: no second event
    EXPECT_EQ(diagnostics.Events().size(), 6u);
}

TEST(DeviceDiagnostics, CountersWrapAndTheLogKeepsTheNewest) {
    CDeviceDiagnostics diagnostics;
    CDeviceDiagnostics::State state;
    state.counters.busMessages = 0xFFFF;
    state.eventCount = 0xFFFF;
    state.events.assign(protocol::kEventLogSize + 5, 0x11);
    diagnostics.Restore(state);
    EXPECT_EQ(diagnostics.Events().size(), protocol::kEventLogSize);
    diagnostics.MessageHeard(false, false);
    diagnostics.Answered(3, Bytes{3, 0});
    EXPECT_EQ(diagnostics.Count().busMessages, 0);
    EXPECT_EQ(diagnostics.EventCount(), 0);
    diagnostics.CheckError();
    EXPECT_EQ(diagnostics.Events().size(), protocol::kEventLogSize);
    EXPECT_EQ(diagnostics.Events()[0], 0x82);
    EXPECT_EQ(diagnostics.Events()[1], 0x40);
    EXPECT_EQ(diagnostics.Events().back(), 0x11);
}

TEST(DeviceDiagnostics, StatusIsBusyWhileACommandRuns) {
    CDeviceDiagnostics diagnostics;
    EXPECT_EQ(diagnostics.Status(), 0x0000);
    diagnostics.SetBusy(true);
    EXPECT_EQ(diagnostics.Status(), 0xFFFF);
}

}  // namespace
