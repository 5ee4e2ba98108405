#include "protocol/AsciiSplitter.h"

#include <string_view>

#include "protocol/AsciiCodec.h"
#include "protocol/FunctionCode.h"
#include "protocol/Limits.h"

namespace protocol {
namespace {

using namespace std::chrono_literals;

// The characters a line holds after ':' at most: its text, CR and LF.
constexpr std::size_t kMaxLineCharacters = kMaxAsciiText + 2;
// ASCII allows a second between characters; a line unended that long is given up.
constexpr auto kCharacterTimeout = 1s;
// A run of noise ends when the line has been quiet this long.
constexpr auto kQuietAfter = 50ms;

constexpr std::size_t kFunctionAt = 1;

}  // namespace

CAsciiSplitter::CAsciiSplitter(IFrameSink& sink, FrameRoles roles) : m_sink(sink), m_roles(roles) {}

void CAsciiSplitter::Feed(const std::uint8_t* data, std::size_t count, SteadyTime arrived) {
    if (count == 0) {
        return;
    }
    m_last = arrived;
    m_quiet = false;
    for (std::size_t at = 0; at < count; ++at) {
        Hear(data[at], arrived);
    }
}

void CAsciiSplitter::Tick(SteadyTime now) {
    if (m_inLine && now - m_last >= kCharacterTimeout) {
        DropLine(m_last);
    }
    if (!m_quiet && !m_inLine && now - m_last >= kQuietAfter) {
        m_sink.Quiet();
        m_quiet = true;
    }
}

void CAsciiSplitter::Finish(SteadyTime /*now*/) {
    if (m_inLine) {
        DropLine(m_last);
    }
    m_sink.Quiet();
    m_quiet = true;
}

std::optional<SteadyTime> CAsciiSplitter::Deadline() const {
    if (m_inLine) {
        return m_last + kCharacterTimeout;
    }
    if (!m_quiet) {
        return m_last + kQuietAfter;
    }
    return std::nullopt;
}

std::optional<SteadyTime> CAsciiSplitter::OldestHeld() const {
    if (!m_inLine) {
        return std::nullopt;
    }
    return m_lineStart;
}

void CAsciiSplitter::Hear(std::uint8_t character, SteadyTime time) {
    if (character == kAsciiStart) {
        if (m_inLine) {
            DropLine(time);  // a new line starts before the last one ended
        }
        m_inLine = true;
        m_line.clear();
        m_lineStart = time;
        return;
    }
    if (!m_inLine) {
        m_sink.Noise(&character, 1, time);
        return;
    }
    m_line.push_back(character);
    if (character == kAsciiLf) {
        EndLine(time);
    } else if (m_line.size() >= kMaxLineCharacters) {
        DropLine(time);
    }
}

void CAsciiSplitter::EndLine(SteadyTime time) {
    const std::size_t end = m_line.size() - 1;
    if (end == 0 || m_line[end - 1] != kAsciiCr) {
        DropLine(time);
        return;
    }
    const Bytes text(m_line.begin(), m_line.begin() + static_cast<long>(end) - 1);
    const AsciiText read =
        AsciiUnwrap(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
    switch (read.status) {
        case AsciiText::Status::Ok:
            m_inLine = false;
            m_sink.Frame(read.message, text, time);
            return;
        case AsciiText::Status::BadCheck:
            m_inLine = false;
            m_sink.BadCheck(text, time, "bad LRC", read.bytes[0], AnswersPending(read.bytes));
            return;
        case AsciiText::Status::BadHex:
        case AsciiText::Status::Short:
        default:
            DropLine(time);
            return;
    }
}

// bytes holds an address and a function at least.
bool CAsciiSplitter::AnswersPending(const Bytes& bytes) const {
    const auto expected = m_sink.Expected();
    return m_roles != FrameRoles::Requests && expected && bytes[0] == expected->unit &&
           (bytes[kFunctionAt] & ~kExceptionFlag) == expected->function;
}

void CAsciiSplitter::DropLine(SteadyTime time) {
    const Bytes held = HeldLine();
    m_sink.Noise(held.data(), held.size(), time);
    m_inLine = false;
    m_line.clear();
}

Bytes CAsciiSplitter::HeldLine() const {
    Bytes held;
    held.reserve(m_line.size() + 1);
    held.push_back(kAsciiStart);
    held.insert(held.end(), m_line.begin(), m_line.end());
    return held;
}

}  // namespace protocol
