#include "tools/monitor/RecordQueue.h"

#include <algorithm>

namespace monitor {
namespace {

// Records wait this many at most for Take, and a run of noise is cut into records this long.
constexpr std::size_t kMaxWaitingRecords = 4096;
constexpr std::size_t kMaxNoiseRecord = 1024;

}  // namespace

void CRecordQueue::Push(MonitorRecord record) {
    EndNoise();
    if (record.kind == RecordKind::Noise) {
        m_noiseBytes += record.bytes.size();
    } else {
        m_heardFrame = true;
    }
    Append(std::move(record));
}

void CRecordQueue::AddNoise(const std::uint8_t* data, std::size_t count, Clock::time_point time) {
    m_noiseBytes += count;
    while (count > 0) {
        if (!m_noise) {
            m_noise.emplace();
        }
        const std::size_t room = kMaxNoiseRecord - m_noise->bytes.size();
        const std::size_t piece = std::min(room, count);
        m_noise->bytes.insert(m_noise->bytes.end(), data, data + piece);
        m_noise->time = time;
        data += piece;
        count -= piece;
        if (m_noise->bytes.size() == kMaxNoiseRecord) {
            EndNoise();
        }
    }
}

void CRecordQueue::EndNoise() {
    if (m_noise) {
        Append(std::move(*m_noise));
        m_noise.reset();
    }
}

std::vector<MonitorRecord> CRecordQueue::Take() {
    std::vector<MonitorRecord> taken(std::make_move_iterator(m_records.begin()),
                                     std::make_move_iterator(m_records.end()));
    m_records.clear();
    return taken;
}

void CRecordQueue::Append(MonitorRecord record) {
    if (m_records.size() == kMaxWaitingRecords) {
        m_records.pop_front();
    }
    m_records.push_back(std::move(record));
}

}  // namespace monitor
