#include "tools/monitor/ModeGuess.h"

#include <algorithm>

namespace monitor {
namespace {

// Several frames of either framing: a bus in use shows its framing well before this.
constexpr std::size_t kMaxGuessBytes = 2048;

}  // namespace

CModeGuess::CModeGuess(const DecoderSettings& settings)
    : m_settings(settings), m_mode(settings.mode) {
    if (m_mode == MonitorMode::Ascii) {
        m_ascii = std::make_unique<CFramingPath>(MonitorMode::Ascii, settings);
    } else if (m_mode == MonitorMode::Rtu) {
        m_rtu = std::make_unique<CFramingPath>(MonitorMode::Rtu, settings);
    } else {
        StartOver();
    }
}

void CModeGuess::Feed(const std::uint8_t* data, std::size_t count, Clock::time_point arrived) {
    while (count > 0) {
        if (CFramingPath* chosen = Chosen()) {
            chosen->Feed(data, count, arrived);
            return;
        }
        const std::size_t piece = std::min(count, kMaxGuessBytes - m_held.size());
        m_held.insert(m_held.end(), data, data + piece);
        m_rtu->Feed(data, piece, arrived);
        m_ascii->Feed(data, piece, arrived);
        data += piece;
        count -= piece;
        Guess();
        if (!Chosen() && m_held.size() == kMaxGuessBytes) {
            GiveUpHeld(arrived);
        }
    }
}

void CModeGuess::Tick(Clock::time_point now) {
    if (CFramingPath* chosen = Chosen()) {
        chosen->Tick(now);
        return;
    }
    m_rtu->Tick(now);
    m_ascii->Tick(now);
    Guess();
}

void CModeGuess::Finish(Clock::time_point now) {
    if (CFramingPath* chosen = Chosen()) {
        chosen->Finish(now);
        return;
    }
    m_rtu->Finish(now);
    m_ascii->Finish(now);
    Guess();
    if (!Chosen() && !m_held.empty()) {
        GiveUpHeld(now);
    }
}

std::optional<Clock::time_point> CModeGuess::Deadline() const {
    if (const CFramingPath* chosen = Chosen()) {
        return chosen->Deadline();
    }
    const auto rtu = m_rtu->Deadline();
    const auto ascii = m_ascii->Deadline();
    if (rtu && ascii) {
        return std::min(*rtu, *ascii);
    }
    return rtu ? rtu : ascii;
}

std::vector<MonitorRecord> CModeGuess::Take() {
    std::vector<MonitorRecord> taken = m_given.Take();
    if (CFramingPath* chosen = Chosen()) {
        std::vector<MonitorRecord> more = chosen->Take();
        std::move(more.begin(), more.end(), std::back_inserter(taken));
    }
    return taken;
}

std::uint64_t CModeGuess::NoiseBytes() const {
    const CFramingPath* chosen = Chosen();
    return m_given.NoiseBytes() + (chosen ? chosen->NoiseBytes() : 0);
}

std::vector<std::pair<std::uint8_t, SlaveTally>> CModeGuess::Tallies() const {
    const CFramingPath* chosen = Chosen();
    return chosen ? chosen->Tallies() : std::vector<std::pair<std::uint8_t, SlaveTally>>{};
}

CFramingPath* CModeGuess::Chosen() const {
    return m_mode == MonitorMode::Rtu     ? m_rtu.get()
           : m_mode == MonitorMode::Ascii ? m_ascii.get()
                                          : nullptr;
}

// ASCII first: a hex line ending in its LRC is far less likely by chance than a CRC.
void CModeGuess::Guess() {
    if (m_ascii->HeardFrame()) {
        m_mode = MonitorMode::Ascii;
        m_rtu.reset();
    } else if (m_rtu->HeardFrame()) {
        m_mode = MonitorMode::Rtu;
        m_ascii.reset();
    } else {
        return;
    }
    m_held.clear();
}

void CModeGuess::GiveUpHeld(Clock::time_point time) {
    MonitorRecord noise;
    noise.time = time;
    noise.bytes = std::move(m_held);
    m_held.clear();
    m_given.Push(std::move(noise));
    StartOver();
}

void CModeGuess::StartOver() {
    m_rtu = std::make_unique<CFramingPath>(MonitorMode::Rtu, m_settings);
    m_ascii = std::make_unique<CFramingPath>(MonitorMode::Ascii, m_settings);
}

}  // namespace monitor
