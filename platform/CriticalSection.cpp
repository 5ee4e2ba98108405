#include "platform/CriticalSection.h"

bool CCriticalSection::Lock(std::uint32_t /*timeoutMs*/) {
    m_mutex.lock();
    return true;
}

void CCriticalSection::Unlock() {
    m_mutex.unlock();
}
