#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

namespace mqtt {

struct QueuedMessage {
    std::string topic;
    std::string payload;
};

// The messages between the caller and the broker, oldest first: those handed to the client
// library and not yet confirmed ("in flight") ahead of those still waiting. The limit counts
// both. When full, the oldest waiting message makes room: a dashboard wants the newest values.
// Not thread-safe; the publisher guards it.
class CMessageQueue {
public:
    explicit CMessageQueue(std::size_t limit);

    // Adds at the back; returns how many messages were dropped to make room (0 or 1). When
    // every queued message is in flight there is no waiting one to drop, and the new one is
    // dropped instead.
    std::size_t Push(QueuedMessage message);

    // The oldest waiting message, nullptr when none waits.
    const QueuedMessage* NextWaiting() const;
    // NextWaiting() was handed over under id; it stays queued until acknowledged.
    void MarkInFlight(int id);
    // Removes the in-flight message with id; false when none has it (an answer that came twice).
    bool Acknowledge(int id);
    // Every in-flight message waits again, in order, ahead of the others; their number.
    std::size_t ReturnInFlight();
    // Drops the oldest waiting message, one the client library can never send; counted.
    bool DropNextWaiting();

    std::size_t Size() const { return m_entries.size(); }
    std::size_t InFlight() const { return m_nInFlight; }
    std::size_t Waiting() const { return m_entries.size() - m_nInFlight; }
    std::size_t Limit() const { return m_nLimit; }
    std::uint64_t Dropped() const { return m_nDropped; }

private:
    struct Entry {
        QueuedMessage message;
        int id = 0;
    };

    std::deque<Entry> m_entries;  // the first m_nInFlight are in flight, in the order handed
    std::size_t m_nInFlight = 0;
    std::size_t m_nLimit;
    std::uint64_t m_nDropped = 0;
};

}  // namespace mqtt
