#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/mqtt/MessageQueue.h"

namespace {

// Pushes each payload, then hands every waiting one over under ids from firstId on; what was
// handed, in order.
std::vector<std::string> PushAndHand(mqtt::CMessageQueue& queue,
                                     const std::vector<std::string>& payloads, int firstId) {
    for (const auto& p : payloads) {
        queue.Push(mqtt::QueuedMessage{"plant/t", p});
    }
    std::vector<std::string> handed;
    while (const mqtt::QueuedMessage* next = queue.NextWaiting()) {
        handed.push_back(next->payload);
        queue.MarkInFlight(firstId++);
    }
    return handed;
}

using Payloads = std::vector<std::string>;

TEST(MessageQueue, KeepsOrderAndDropsTheOldestWaitingOnly) {
    mqtt::CMessageQueue queue(4);
    EXPECT_EQ(PushAndHand(queue, {"a", "b"}, 1), (Payloads{"a", "b"}));
    // Full at e: e and f push out c and d, the oldest waiting, never the two in flight.
    EXPECT_EQ(PushAndHand(queue, {"c", "d", "e", "f"}, 3), (Payloads{"e", "f"}));
    EXPECT_EQ(queue.Dropped(), 2u);
    EXPECT_TRUE(queue.Acknowledge(4));
    EXPECT_FALSE(queue.Acknowledge(4));  // the same answer twice
    EXPECT_FALSE(queue.Acknowledge(42));
    // A lost connection puts the unanswered back at the front, in order; old ids mean nothing.
    EXPECT_EQ(queue.ReturnInFlight(), 3u);
    EXPECT_FALSE(queue.Acknowledge(1));
    EXPECT_EQ(PushAndHand(queue, {"g"}, 100), (Payloads{"a", "b", "e", "g"}));
    // All in flight: the new one is the one dropped.
    EXPECT_EQ(queue.Push(mqtt::QueuedMessage{"plant/t", "h"}), 1u);
    EXPECT_EQ(queue.Dropped(), 3u);
    EXPECT_EQ(queue.NextWaiting(), nullptr);
    EXPECT_EQ(queue.Size(), 4u);
}

}  // namespace
