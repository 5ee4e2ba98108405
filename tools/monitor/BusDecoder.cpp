#include "tools/monitor/BusDecoder.h"

#include "tools/monitor/ModeGuess.h"

namespace monitor {

struct CBusDecoder::Impl {
    explicit Impl(const DecoderSettings& settings) : guess(settings) {}
    CModeGuess guess;
};

CBusDecoder::CBusDecoder(const DecoderSettings& settings)
    : m_impl(std::make_unique<Impl>(settings)) {}

CBusDecoder::~CBusDecoder() = default;

void CBusDecoder::Feed(const std::uint8_t* data, std::size_t count, Clock::time_point arrived) {
    m_impl->guess.Feed(data, count, arrived);
}

void CBusDecoder::Tick(Clock::time_point now) {
    m_impl->guess.Tick(now);
}

std::optional<Clock::time_point> CBusDecoder::Deadline() const {
    return m_impl->guess.Deadline();
}

void CBusDecoder::Finish(Clock::time_point now) {
    m_impl->guess.Finish(now);
}

std::vector<MonitorRecord> CBusDecoder::Take() {
    return m_impl->guess.Take();
}

MonitorMode CBusDecoder::Mode() const {
    return m_impl->guess.Mode();
}

std::uint64_t CBusDecoder::NoiseBytes() const {
    return m_impl->guess.NoiseBytes();
}

std::vector<std::pair<std::uint8_t, SlaveTally>> CBusDecoder::Tallies() const {
    return m_impl->guess.Tallies();
}

}  // namespace monitor
