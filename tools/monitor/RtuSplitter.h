#pragma once

#include <array>
#include <chrono>
#include <optional>
#include <vector>

#include "tools/monitor/FrameShapes.h"
#include "tools/monitor/FrameSink.h"
#include "tools/monitor/Splitter.h"

namespace monitor {

// Finds RTU frames in what a line hears. Where the line delivers in time, a silence of 3.5
// characters ends a frame; where it does not (an adapter's bursts, a network's pieces), the
// length each function implies does, and a frame counts only when its CRC is good. Bytes
// where no good frame starts are skipped one by one as noise until one does.
class CRtuSplitter final : public ISplitter {
public:
    CRtuSplitter(IFrameSink& sink, std::chrono::nanoseconds characterTime);

    void Feed(const std::uint8_t* data, std::size_t count, Clock::time_point arrived) override;
    void Tick(Clock::time_point now) override;
    void Finish(Clock::time_point now) override;
    std::optional<Clock::time_point> Deadline() const override;
    std::optional<Clock::time_point> OldestHeld() const override;

private:
    void Decide();
    bool DecideFront();
    std::optional<std::size_t> GoodFrameAt(std::size_t at) const;
    std::optional<std::size_t> ChunkFrameAt(std::size_t at) const;
    bool FrontMayGrow() const;
    bool WaitIsOver() const;
    struct BadFrame {
        std::size_t length = 0;
        bool answersPending = false;
    };
    std::optional<BadFrame> BadFrameAtFront() const;
    bool ExpectedAt(std::size_t at) const;
    std::array<FrameRole, 2> RolesAt(std::size_t at) const;
    bool IsBreak(std::size_t at) const;
    bool CheckIsGood(std::size_t at, std::size_t length) const;
    void Consume(std::size_t count);

    IFrameSink& m_sink;
    std::chrono::nanoseconds m_character;
    std::chrono::nanoseconds m_silence;
    std::chrono::nanoseconds m_burstWait;
    Bytes m_bytes;
    std::vector<Clock::time_point> m_times;
    std::vector<bool> m_afterSilence;  // a silence came before this byte
    Clock::time_point m_last{};
    Clock::time_point m_now{};
    bool m_heardAny = false;
    bool m_finishing = false;
    bool m_silenceSeen = true;
    bool m_quiet = true;
};

}  // namespace monitor
