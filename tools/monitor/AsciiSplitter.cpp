#include "tools/monitor/AsciiSplitter.h"

#include <cctype>

#include "modbus/Framing.h"
#include "protocol/Lrc.h"

namespace monitor {
namespace {

using namespace std::chrono_literals;

constexpr std::uint8_t kLineStart = ':';
constexpr std::uint8_t kCarriageReturn = '\r';
constexpr std::uint8_t kLineFeed = '\n';
// Between ':' and CR LF: address, function, 252 data bytes and the LRC in hex, and a margin.
constexpr std::size_t kMaxLineCharacters = 513;
// Address, function and LRC.
constexpr std::size_t kMinLineBytes = 3;
// ASCII allows a second between characters; a line unended that long is given up.
constexpr auto kCharacterTimeout = 1s;
// A run of noise ends when the line has been quiet this long.
constexpr auto kQuietAfter = 50ms;

bool IsHex(std::uint8_t character) {
    return std::isxdigit(character) != 0;
}

char Upper(std::uint8_t character) {
    return static_cast<char>(std::toupper(character));
}

// The bytes the hex pairs stand for; none when the text is not whole hex pairs.
std::optional<Bytes> FromHex(const Bytes& text) {
    if (text.size() % 2 != 0) {
        return std::nullopt;
    }
    Bytes bytes;
    for (std::size_t at = 0; at < text.size(); at += 2) {
        if (!IsHex(text[at]) || !IsHex(text[at + 1])) {
            return std::nullopt;
        }
        bytes.push_back(HexDigitsToByte(Upper(text[at]), Upper(text[at + 1])));
    }
    return bytes;
}

}  // namespace

CAsciiSplitter::CAsciiSplitter(IFrameSink& sink) : m_sink(sink) {}

void CAsciiSplitter::Feed(const std::uint8_t* data, std::size_t count, Clock::time_point arrived) {
    if (count == 0) {
        return;
    }
    m_last = arrived;
    m_quiet = false;
    for (std::size_t at = 0; at < count; ++at) {
        Hear(data[at], arrived);
    }
}

void CAsciiSplitter::Tick(Clock::time_point now) {
    if (m_inLine && now - m_last >= kCharacterTimeout) {
        DropLine(m_last);
    }
    if (!m_quiet && !m_inLine && now - m_last >= kQuietAfter) {
        m_sink.Quiet();
        m_quiet = true;
    }
}

void CAsciiSplitter::Finish(Clock::time_point /*now*/) {
    if (m_inLine) {
        DropLine(m_last);
    }
    m_sink.Quiet();
    m_quiet = true;
}

std::optional<Clock::time_point> CAsciiSplitter::Deadline() const {
    if (m_inLine) {
        return m_last + kCharacterTimeout;
    }
    if (!m_quiet) {
        return m_last + kQuietAfter;
    }
    return std::nullopt;
}

std::optional<Clock::time_point> CAsciiSplitter::OldestHeld() const {
    if (!m_inLine) {
        return std::nullopt;
    }
    return m_lineStart;
}

void CAsciiSplitter::Hear(std::uint8_t character, Clock::time_point time) {
    if (character == kLineStart) {
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
    if (character == kLineFeed) {
        EndLine(time);
    } else if (m_line.size() > kMaxLineCharacters + 1) {
        DropLine(time);
    }
}

void CAsciiSplitter::EndLine(Clock::time_point time) {
    const std::size_t end = m_line.size() - 1;
    if (end == 0 || m_line[end - 1] != kCarriageReturn) {
        DropLine(time);
        return;
    }
    const Bytes text(m_line.begin(), m_line.begin() + static_cast<long>(end) - 1);
    const auto bytes = FromHex(text);
    if (!bytes || bytes->size() < kMinLineBytes) {
        DropLine(time);
        return;
    }
    m_inLine = false;
    const Bytes message(bytes->begin(), bytes->end() - 1);
    if (ComputeLrc(message.data(), message.size()) == bytes->back()) {
        m_sink.Frame(message, text, time);
        return;
    }
    const auto expected = m_sink.Expected();
    const bool answersPending = expected && message[0] == expected->slave &&
                                (message[1] & ~kExceptionFlag) == expected->function;
    m_sink.BadCheck(text, time, "bad LRC", message[0], answersPending);
}

void CAsciiSplitter::DropLine(Clock::time_point time) {
    const Bytes held = HeldLine();
    m_sink.Noise(held.data(), held.size(), time);
    m_inLine = false;
    m_line.clear();
}

Bytes CAsciiSplitter::HeldLine() const {
    Bytes held;
    held.reserve(m_line.size() + 1);
    held.push_back(kLineStart);
    held.insert(held.end(), m_line.begin(), m_line.end());
    return held;
}

}  // namespace monitor
