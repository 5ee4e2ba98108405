#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/mqtt/MessageQueue.h"

namespace {

using mqtt::CMessageQueue;
using mqtt::QueuedMessage;

QueuedMessage Message(const std::string& payload) {
    return QueuedMessage{"plant/t", payload};
}

void PushAll(CMessageQueue& queue, const std::vector<std::string>& payloads) {
    for (const auto& p : payloads) {
        queue.Push(Message(p));
    }
}

// Hands over every waiting message under ids from firstId on; their payloads in order.
std::vector<std::string> HandAll(CMessageQueue& queue, int firstId) {
    std::vector<std::string> handed;
    while (const QueuedMessage* next = queue.NextWaiting()) {
        handed.push_back(next->payload);
        queue.MarkInFlight(firstId++);
    }
    return handed;
}

TEST(MessageQueue, KeepsOrderUnderTheLimit) {
    CMessageQueue queue(10);
    PushAll(queue, {"a", "b", "c"});
    EXPECT_EQ(queue.Size(), 3u);
    EXPECT_EQ(queue.Waiting(), 3u);
    EXPECT_EQ(queue.InFlight(), 0u);
    EXPECT_EQ(HandAll(queue, 1), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(queue.InFlight(), 3u);
    EXPECT_EQ(queue.NextWaiting(), nullptr);
    EXPECT_EQ(queue.Dropped(), 0u);
}

TEST(MessageQueue, FullDropsTheOldestWaitingAndCounts) {
    CMessageQueue queue(5);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(queue.Push(Message(std::to_string(i))), i < 5 ? 0u : 1u) << i;
    }
    EXPECT_EQ(queue.Size(), 5u);
    EXPECT_EQ(queue.Dropped(), 15u);
    EXPECT_EQ(HandAll(queue, 1), (std::vector<std::string>{"15", "16", "17", "18", "19"}));
}

TEST(MessageQueue, InFlightMessagesAreNeverDropped) {
    CMessageQueue queue(4);
    PushAll(queue, {"a", "b", "c"});
    queue.MarkInFlight(1);  // a
    queue.MarkInFlight(2);  // b
    PushAll(queue, {"d", "e", "f"});
    // Full at d; e pushed out c, f pushed out d.
    EXPECT_EQ(queue.Dropped(), 2u);
    EXPECT_EQ(queue.Size(), 4u);
    EXPECT_EQ(queue.InFlight(), 2u);
    EXPECT_EQ(HandAll(queue, 3), (std::vector<std::string>{"e", "f"}));
    EXPECT_TRUE(queue.Acknowledge(1));
    EXPECT_TRUE(queue.Acknowledge(2));
}

TEST(MessageQueue, AllInFlightDropsTheNewOne) {
    CMessageQueue queue(2);
    PushAll(queue, {"a", "b"});
    HandAll(queue, 1);
    EXPECT_EQ(queue.Push(Message("c")), 1u);
    EXPECT_EQ(queue.Dropped(), 1u);
    EXPECT_EQ(queue.Size(), 2u);
    EXPECT_EQ(queue.NextWaiting(), nullptr);
}

TEST(MessageQueue, AcknowledgeRemovesByIdInAnyOrder) {
    CMessageQueue queue(10);
    PushAll(queue, {"a", "b", "c", "d"});
    HandAll(queue, 7);  // ids 7 8 9 10
    EXPECT_TRUE(queue.Acknowledge(9));
    EXPECT_FALSE(queue.Acknowledge(9));  // the same answer twice
    EXPECT_FALSE(queue.Acknowledge(42));
    EXPECT_TRUE(queue.Acknowledge(7));
    EXPECT_EQ(queue.Size(), 2u);
    EXPECT_EQ(queue.ReturnInFlight(), 2u);
    EXPECT_EQ(HandAll(queue, 1), (std::vector<std::string>{"b", "d"}));
}

TEST(MessageQueue, ReturnedInFlightGoBackToTheFrontInOrder) {
    CMessageQueue queue(10);
    PushAll(queue, {"a", "b", "c"});
    queue.MarkInFlight(1);
    queue.MarkInFlight(2);
    PushAll(queue, {"d"});
    EXPECT_EQ(queue.ReturnInFlight(), 2u);
    EXPECT_EQ(queue.InFlight(), 0u);
    EXPECT_EQ(queue.Waiting(), 4u);
    // The old ids mean nothing now.
    EXPECT_FALSE(queue.Acknowledge(1));
    EXPECT_EQ(HandAll(queue, 100), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_TRUE(queue.Acknowledge(100));
}

TEST(MessageQueue, DropNextWaitingSkipsInFlight) {
    CMessageQueue queue(10);
    PushAll(queue, {"a", "b", "c"});
    queue.MarkInFlight(1);
    EXPECT_TRUE(queue.DropNextWaiting());
    EXPECT_EQ(queue.Dropped(), 1u);
    EXPECT_EQ(HandAll(queue, 2), (std::vector<std::string>{"c"}));
    EXPECT_FALSE(queue.DropNextWaiting());
}

TEST(MessageQueue, LimitOfZeroHoldsOne) {
    CMessageQueue queue(0);
    EXPECT_EQ(queue.Limit(), 1u);
    PushAll(queue, {"a", "b"});
    EXPECT_EQ(queue.Size(), 1u);
    EXPECT_EQ(queue.NextWaiting()->payload, "b");
}

}  // namespace
