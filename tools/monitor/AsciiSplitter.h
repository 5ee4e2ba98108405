#pragma once

#include <optional>

#include "tools/monitor/FrameSink.h"
#include "tools/monitor/Splitter.h"

namespace monitor {

// Finds ASCII frames in what a line hears: ':', hex pairs ending in the LRC, CR LF. A line
// with a bad LRC is a failed check; one that is not hex, too long or unended is noise, and
// so is every byte outside a line.
class CAsciiSplitter final : public ISplitter {
public:
    explicit CAsciiSplitter(IFrameSink& sink);

    void Feed(const std::uint8_t* data, std::size_t count, Clock::time_point arrived) override;
    void Tick(Clock::time_point now) override;
    void Finish(Clock::time_point now) override;
    std::optional<Clock::time_point> Deadline() const override;
    std::optional<Clock::time_point> OldestHeld() const override;

private:
    void Hear(std::uint8_t character, Clock::time_point time);
    void EndLine(Clock::time_point time);
    void DropLine(Clock::time_point time);
    Bytes HeldLine() const;

    IFrameSink& m_sink;
    bool m_inLine = false;
    Bytes m_line;  // the characters after ':'
    Clock::time_point m_lineStart{};
    Clock::time_point m_last{};
    bool m_quiet = true;
};

}  // namespace monitor
