#include "tools/mqtt/MessageQueue.h"

namespace mqtt {

CMessageQueue::CMessageQueue(std::size_t limit) : m_nLimit(limit == 0 ? 1 : limit) {}

std::size_t CMessageQueue::Push(QueuedMessage message) {
    std::size_t dropped = 0;
    if (m_entries.size() >= m_nLimit) {
        if (Waiting() == 0) {
            ++m_nDropped;
            return 1;
        }
        m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(m_nInFlight));
        ++m_nDropped;
        dropped = 1;
    }
    m_entries.push_back(Entry{std::move(message), 0});
    return dropped;
}

const QueuedMessage* CMessageQueue::NextWaiting() const {
    return Waiting() == 0 ? nullptr : &m_entries[m_nInFlight].message;
}

void CMessageQueue::MarkInFlight(int id) {
    if (Waiting() == 0) {
        return;
    }
    m_entries[m_nInFlight].id = id;
    ++m_nInFlight;
}

bool CMessageQueue::Acknowledge(int id) {
    // Answers come in the order sent, so the match is nearly always the first entry.
    for (std::size_t i = 0; i < m_nInFlight; ++i) {
        if (m_entries[i].id == id) {
            m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(i));
            --m_nInFlight;
            return true;
        }
    }
    return false;
}

std::size_t CMessageQueue::ReturnInFlight() {
    const std::size_t returned = m_nInFlight;
    for (std::size_t i = 0; i < m_nInFlight; ++i) {
        m_entries[i].id = 0;
    }
    m_nInFlight = 0;
    return returned;
}

bool CMessageQueue::DropNextWaiting() {
    if (Waiting() == 0) {
        return false;
    }
    m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(m_nInFlight));
    ++m_nDropped;
    return true;
}

}  // namespace mqtt
