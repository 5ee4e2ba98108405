// What a device does with the requests that reach it: answered, broadcast, in listen-only mode,
// and what its counters and log then say through functions 11 and 12.
#include <gtest/gtest.h>

#include "protocol/DeviceServing.h"
#include "tests/protocol/ExampleModel.h"

namespace {

using protocol::Bytes;
using protocol::ServeAsDevice;

struct DeviceServingTest : ::testing::Test {
    void SetUp() override { model.holding[1] = 0; }
    std::optional<Bytes> Serve(const Bytes& request, bool broadcast = false) {
        return ServeAsDevice(request, model, broadcast ? 0 : 7, broadcast);
    }
    CExampleModel model;
};

TEST_F(DeviceServingTest, AnswersAndLogsBothEvents) {
    EXPECT_EQ(Serve({6, 0, 1, 0x12, 0x34}), (Bytes{6, 0, 1, 0x12, 0x34}));
    EXPECT_EQ(Serve({3, 0, 9, 0, 1}), (Bytes{0x83, 2}));
    // The log as 12 reads it: its own receive event first, then the two exchanges.
    EXPECT_EQ(Serve({12}), (Bytes{12, 11, 0, 0, 0, 1, 0, 3, 0x80, 0x41, 0x80, 0x40, 0x80}));
    EXPECT_EQ(Serve({11}), (Bytes{11, 0, 0, 0, 1}));
    EXPECT_EQ(Serve({8, 0, 13, 0, 0}), (Bytes{8, 0, 13, 0, 1}));
    EXPECT_EQ(Serve({8, 0, 14, 0, 0}), (Bytes{8, 0, 14, 0, 6}));
    EXPECT_EQ(Serve({17}), (Bytes{17, 2, 7, 0xFF}));
}

TEST_F(DeviceServingTest, ABroadcastIsCarriedOutAndNeverAnswered) {
    EXPECT_EQ(Serve({6, 0, 1, 0x12, 0x34}, true), std::nullopt);
    EXPECT_EQ(model.holding[1], 0x1234);
    EXPECT_EQ(Serve({3, 0, 9, 0, 1}, true), std::nullopt);
    EXPECT_EQ(model.diagnostics.Count().noResponses, 2);
    EXPECT_EQ(model.diagnostics.Count().exceptions, 0);
    EXPECT_EQ(model.diagnostics.EventCount(), 1);
    EXPECT_EQ(model.diagnostics.Events(), (std::deque<std::uint8_t>{0x40, 0xC0, 0x40, 0xC0}));
}

TEST_F(DeviceServingTest, ListenOnlyCarriesOutOnlyARestart) {
    EXPECT_EQ(Serve({8, 0, 4, 0, 0}), std::nullopt);
    EXPECT_EQ(Serve({6, 0, 1, 0x12, 0x34}), std::nullopt);
    EXPECT_EQ(model.holding[1], 0);
    EXPECT_EQ(Serve({8, 0, 0, 0xA5, 0x37}), std::nullopt);
    EXPECT_EQ(model.diagnostics.Events(),
              (std::deque<std::uint8_t>{0x60, 0xA0, 0x60, 0xA0, 0x60, 0x04, 0x80}));
    EXPECT_EQ(Serve({8, 0, 1, 0, 0}), std::nullopt);
    EXPECT_FALSE(model.diagnostics.ListenOnly());
    EXPECT_EQ(Serve({6, 0, 1, 0x12, 0x34}), (Bytes{6, 0, 1, 0x12, 0x34}));
    // The restart cleared the counters, and nothing of its own exchange is left after it: this
    // request is all they hold.
    EXPECT_EQ(model.diagnostics.Count().serverMessages, 1);
    EXPECT_EQ(model.diagnostics.Count().noResponses, 0);
}

TEST_F(DeviceServingTest, AnEmptyPduIsCountedAndUnanswered) {
    EXPECT_EQ(Serve({}), std::nullopt);
    EXPECT_EQ(model.diagnostics.Count().noResponses, 1);
}

}  // namespace
