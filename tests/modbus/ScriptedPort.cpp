#include "tests/modbus/ScriptedPort.h"

#include <algorithm>

bool CScriptedPort::Open(const std::string& device) {
    m_strDevice = device;
    opened.push_back(device);
    if (!openOk) {
        return Fail(openErrno);
    }
    m_bOpen = true;
    m_bAborted = false;
    return true;
}

bool CScriptedPort::Write(const std::uint8_t* data, std::uint32_t count, std::uint32_t* written) {
    *written = 0;
    calls.emplace_back("write");
    if (m_bAborted || !writeOk) {
        return Fail(EIO);
    }
    writes.emplace_back(data, data + count);
    m_writeAtMs = nowMs;
    *written = count;
    return true;
}

bool CScriptedPort::Read(std::uint8_t* data, std::uint32_t count, std::uint32_t* received) {
    readSizes.push_back(count);
    calls.emplace_back("read");
    *received = 0;
    if (m_bAborted) {
        return Fail(EINTR);
    }
    if (timed) {
        *received = ReadTimed(data, count);
        return true;
    }
    if (reads.empty()) {
        return true;
    }
    Chunk& chunk = reads.front();
    if (chunk.fails) {
        reads.pop_front();
        ++failedReads;
        return Fail(EIO);
    }
    const auto n = std::min<std::size_t>(count, chunk.Left());
    const auto from = chunk.bytes.begin() + static_cast<std::ptrdiff_t>(chunk.taken);
    std::copy_n(from, n, data);
    delivered.insert(delivered.end(), from, from + static_cast<std::ptrdiff_t>(n));
    chunk.taken += n;
    if (chunk.Left() == 0) {
        reads.pop_front();
    }
    *received = static_cast<std::uint32_t>(n);
    return true;
}

std::uint32_t CScriptedPort::ReadTimed(std::uint8_t* data, std::uint32_t count) {
    constexpr std::uint64_t kNever = ~std::uint64_t{0};
    const SerialTimeouts t = timeouts.value_or(SerialTimeouts{});
    const bool hasInterval = t.ReadIntervalTimeout != 0 && t.ReadIntervalTimeout != kReadAtOnce;
    const bool atOnce = t.ReadIntervalTimeout == kReadAtOnce && t.ReadTotalTimeoutMultiplier == 0 &&
                        t.ReadTotalTimeoutConstant == 0;
    const bool hasTotal = t.ReadTotalTimeoutMultiplier != 0 || t.ReadTotalTimeoutConstant != 0;
    const std::uint64_t deadline = std::uint64_t{nowMs} +
                                   std::uint64_t{t.ReadTotalTimeoutMultiplier} * count +
                                   t.ReadTotalTimeoutConstant;
    std::uint32_t n = 0;
    std::uint64_t lastByteAt = 0;
    for (;;) {
        while (n < count && !reads.empty() && m_writeAtMs + reads.front().atMs <= nowMs) {
            Chunk& chunk = reads.front();
            lastByteAt = m_writeAtMs + chunk.atMs;
            const auto take = std::min<std::size_t>(count - n, chunk.Left());
            const auto from = chunk.bytes.begin() + static_cast<std::ptrdiff_t>(chunk.taken);
            std::copy_n(from, take, data + n);
            delivered.insert(delivered.end(), from, from + static_cast<std::ptrdiff_t>(take));
            chunk.taken += take;
            n += static_cast<std::uint32_t>(take);
            if (chunk.Left() == 0) {
                reads.pop_front();
            }
        }
        if (n == count || atOnce) {
            return n;
        }
        const std::uint64_t next = reads.empty() ? kNever : m_writeAtMs + reads.front().atMs;
        std::uint64_t limit = hasTotal ? deadline : kNever;
        if (n > 0 && hasInterval) {
            limit = std::min(limit, lastByteAt + t.ReadIntervalTimeout);
        }
        if (next > limit || next == kNever) {
            if (limit != kNever) {
                nowMs = static_cast<std::uint32_t>(std::max<std::uint64_t>(nowMs, limit));
            }
            return n;
        }
        nowMs = static_cast<std::uint32_t>(next);
    }
}

bool CScriptedPort::ClearError(std::uint32_t* errors, SerialStatus* status) {
    ++errorClears;
    *errors = 0;
    if (status != nullptr) {
        status->cbInQue = reads.empty() ? 0 : static_cast<std::uint32_t>(reads.front().Left());
        status->cbOutQue = outQueue.empty() ? outQueueAfter : outQueue.front();
        if (!outQueue.empty()) {
            outQueue.pop_front();
        }
    }
    return true;
}

void CScriptedPort::Reset() {
    reads.clear();
    outQueue.clear();
    outQueueAfter = 0;
    purges.clear();
    readSizes.clear();
    writes.clear();
    delivered.clear();
    failedReads = 0;
    errorClears = 0;
    calls.clear();
    results.clear();
}
