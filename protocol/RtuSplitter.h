#pragma once

#include <chrono>
#include <optional>
#include <span>
#include <vector>

#include "protocol/FrameSink.h"
#include "protocol/FunctionTable.h"
#include "protocol/Splitter.h"

namespace protocol {

struct RtuSplitSettings {
    FrameRoles roles = FrameRoles::Either;
    // One character on the line: 3.5 of them make the silence that ends a frame.
    std::chrono::nanoseconds characterTime{};
    // Which frames a silence may end where their lengths do not: the caller's rule from the
    // first bytes; without one, those whose function gives no length.
    bool (*silenceMayEnd)(const std::uint8_t* frame, std::size_t have) = nullptr;
};

// Finds RTU frames in what a line hears. Where the line delivers in time, a silence of 3.5
// characters ends a frame; where it does not (an adapter's bursts, a network's pieces), the
// length each function's table entry implies does, and a frame counts only when its CRC is
// good. Bytes where no good frame starts are skipped one by one as noise until one does.
class CRtuSplitter final : public ISplitter {
public:
    CRtuSplitter(IFrameSink& sink, const RtuSplitSettings& settings);

    void Feed(const std::uint8_t* data, std::size_t count, SteadyTime arrived) override;
    void Tick(SteadyTime now) override;
    void Finish(SteadyTime now) override;
    std::optional<SteadyTime> Deadline() const override;
    std::optional<SteadyTime> OldestHeld() const override;

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
    std::span<const Role> RolesAt(std::size_t at) const;
    PduLength LengthAt(Role role, std::size_t at) const;
    bool SilenceMayEnd(std::size_t at, bool unknown) const;
    bool IsBreak(std::size_t at) const;
    bool CheckIsGood(std::size_t at, std::size_t length) const;
    void Consume(std::size_t count);

    IFrameSink& m_sink;
    RtuSplitSettings m_settings;
    std::chrono::nanoseconds m_silence;
    std::chrono::nanoseconds m_burstWait;
    Bytes m_bytes;
    std::vector<SteadyTime> m_times;
    std::vector<bool> m_afterSilence;  // a silence came before this byte
    SteadyTime m_last{};
    SteadyTime m_now{};
    bool m_heardAny = false;
    bool m_finishing = false;
    bool m_silenceSeen = true;
    bool m_quiet = true;
};

}  // namespace protocol
