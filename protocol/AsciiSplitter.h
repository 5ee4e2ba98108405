#pragma once

#include <optional>

#include "protocol/FrameSink.h"
#include "protocol/Splitter.h"

namespace protocol {

// Finds ASCII frames in what a line hears: ':', hex pairs ending in the LRC, CR LF. A line
// with a bad LRC is a failed check; one that is not hex, too long or unended is noise, and
// so is every byte outside a line. Where the lines end needs no length from the table: the
// roles only tell whether a failed check may be the answer the sink waits for.
class CAsciiSplitter final : public ISplitter {
public:
    explicit CAsciiSplitter(IFrameSink& sink, FrameRoles roles = FrameRoles::Either);

    void Feed(const std::uint8_t* data, std::size_t count, SteadyTime arrived) override;
    void Tick(SteadyTime now) override;
    void Finish(SteadyTime now) override;
    std::optional<SteadyTime> Deadline() const override;
    std::optional<SteadyTime> OldestHeld() const override;

private:
    void Hear(std::uint8_t character, SteadyTime time);
    void EndLine(SteadyTime time);
    void DropLine(SteadyTime time);
    bool AnswersPending(const Bytes& bytes) const;
    Bytes HeldLine() const;

    IFrameSink& m_sink;
    FrameRoles m_roles;
    bool m_inLine = false;
    Bytes m_line;  // the characters after ':'
    SteadyTime m_lineStart{};
    SteadyTime m_last{};
    bool m_quiet = true;
};

}  // namespace protocol
