#include "tools/monitor/FramingPath.h"

#include <algorithm>

#include "protocol/AsciiSplitter.h"
#include "protocol/RtuSplitter.h"
#include "tools/monitor/FrameShapes.h"

namespace monitor {

CFramingPath::CFramingPath(MonitorMode framing, const DecoderSettings& settings)
    : m_pairing(m_records, m_tally, settings.answerTimeout) {
    if (framing == MonitorMode::Ascii) {
        m_splitter = std::make_unique<protocol::CAsciiSplitter>(m_pairing);
    } else {
        const protocol::RtuSplitSettings rtu{protocol::FrameRoles::Either, settings.characterTime,
                                             SilenceMayEnd};
        m_splitter = std::make_unique<protocol::CRtuSplitter>(m_pairing, rtu);
    }
}

void CFramingPath::Feed(const std::uint8_t* data, std::size_t count, Clock::time_point arrived) {
    m_splitter->Feed(data, count, arrived);
    m_pairing.Tick(arrived, m_splitter->OldestHeld());
}

void CFramingPath::Tick(Clock::time_point now) {
    m_splitter->Tick(now);
    m_pairing.Tick(now, m_splitter->OldestHeld());
}

void CFramingPath::Finish(Clock::time_point now) {
    m_splitter->Finish(now);
    m_pairing.Finish();
}

// The answer time waits while bytes from before its end are undecided; the splitter's own
// deadline decides them.
std::optional<Clock::time_point> CFramingPath::Deadline() const {
    auto deadline = m_splitter->Deadline();
    const auto answerDue = m_pairing.Deadline();
    const auto held = m_splitter->OldestHeld();
    if (answerDue && !(held && *held < *answerDue)) {
        deadline = deadline ? std::min(*deadline, *answerDue) : *answerDue;
    }
    return deadline;
}

}  // namespace monitor
