#pragma once

#include <memory>

#include "protocol/Splitter.h"
#include "tools/monitor/BusDecoder.h"
#include "tools/monitor/BusTally.h"
#include "tools/monitor/RecordQueue.h"
#include "tools/monitor/RequestPairing.h"

namespace monitor {

// One framing's way from the line's bytes to records: its splitter, the pairing, the tally
// and the records waiting to be taken.
class CFramingPath {
public:
    // framing is Rtu or Ascii.
    CFramingPath(MonitorMode framing, const DecoderSettings& settings);

    void Feed(const std::uint8_t* data, std::size_t count, Clock::time_point arrived);
    void Tick(Clock::time_point now);
    void Finish(Clock::time_point now);
    std::optional<Clock::time_point> Deadline() const;

    std::vector<MonitorRecord> Take() { return m_records.Take(); }
    bool HeardFrame() const { return m_records.HeardFrame(); }
    std::uint64_t NoiseBytes() const { return m_records.NoiseBytes(); }
    std::vector<std::pair<std::uint8_t, SlaveTally>> Tallies() const { return m_tally.Tallies(); }

private:
    CRecordQueue m_records;
    CBusTally m_tally;
    CRequestPairing m_pairing;
    std::unique_ptr<protocol::ISplitter> m_splitter;
};

}  // namespace monitor
