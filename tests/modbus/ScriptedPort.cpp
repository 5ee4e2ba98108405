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
