#include "protocol/RtuSplitter.h"

#include <algorithm>
#include <array>

#include "protocol/FunctionCode.h"
#include "protocol/Limits.h"
#include "protocol/RtuCodec.h"
#include "protocol/RtuFrameLength.h"

namespace protocol {
namespace {

using namespace std::chrono_literals;

// RTU ends a frame after 3.5 characters of silence; above 19200 bit/s devices use 1.75 ms.
constexpr auto kLeastSilence = 1750us;
// Adapters deliver in bursts up to 16 ms apart and networks in pieces, so a frame whose shape
// asks for more bytes waits this long after the last one for them: the character interval
// vornak-poll allows inside an answer on such lines. Slow lines wait at least two silences.
constexpr auto kBurstWait = 50ms;
// A frame of a function whose shape is unknown (or not the usual) ends at a silence, the first or,
// where an adapter split it, the second; it is not looked for further.
constexpr unsigned kUnknownShapeSilences = 2;

// The roles tried at a frame's start, the one the sink expects first.
constexpr std::array kRequestOnly{Role::Request};
constexpr std::array kAnswerOnly{Role::Answer};
constexpr std::array kRequestFirst{Role::Request, Role::Answer};
constexpr std::array kAnswerFirst{Role::Answer, Role::Request};

}  // namespace

CRtuSplitter::CRtuSplitter(IFrameSink& sink, const RtuSplitSettings& settings)
    : m_sink(sink),
      m_settings(settings),
      m_silence(std::max<std::chrono::nanoseconds>(settings.characterTime * 7 / 2, kLeastSilence)),
      m_burstWait(std::max<std::chrono::nanoseconds>(kBurstWait, m_silence * 2)) {}

void CRtuSplitter::Feed(const std::uint8_t* data, std::size_t count, SteadyTime arrived) {
    if (count == 0) {
        return;
    }
    const auto quietBefore = arrived - m_last - m_settings.characterTime * static_cast<long>(count);
    const bool silence = !m_heardAny || quietBefore >= m_silence;
    m_heardAny = true;
    m_silenceSeen = false;
    m_quiet = false;
    m_now = arrived;
    // Pieces no longer than a frame keep what is held within two frames' worth.
    for (std::size_t done = 0; done < count;) {
        const std::size_t piece = std::min(count - done, kMaxRtuFrame);
        m_afterSilence.push_back(done == 0 && silence);
        m_afterSilence.resize(m_afterSilence.size() + piece - 1, false);
        m_bytes.insert(m_bytes.end(), data + done, data + done + piece);
        m_times.resize(m_times.size() + piece, arrived);
        m_last = arrived;
        Decide();
        done += piece;
    }
}

void CRtuSplitter::Tick(SteadyTime now) {
    m_now = now;
    Decide();
    if (now - m_last >= m_silence) {
        m_silenceSeen = true;
    }
    if (!m_quiet && m_bytes.empty() && now - m_last >= m_burstWait) {
        m_sink.Quiet();
        m_quiet = true;
    }
}

void CRtuSplitter::Finish(SteadyTime now) {
    m_now = now;
    m_finishing = true;
    Decide();
    m_finishing = false;
    m_sink.Quiet();
    m_quiet = true;
    m_silenceSeen = true;
}

std::optional<SteadyTime> CRtuSplitter::Deadline() const {
    if (!m_bytes.empty() && !m_silenceSeen) {
        return m_last + m_silence;
    }
    if (!m_bytes.empty() || !m_quiet) {
        return m_last + m_burstWait;
    }
    return std::nullopt;
}

std::optional<SteadyTime> CRtuSplitter::OldestHeld() const {
    if (m_times.empty()) {
        return std::nullopt;
    }
    return m_times.front();
}

void CRtuSplitter::Decide() {
    while (DecideFront()) {
    }
}

// One step at the oldest byte held: a good frame, a wait for more, a frame-shaped run whose
// CRC failed, or one byte of noise.
bool CRtuSplitter::DecideFront() {
    if (m_bytes.empty()) {
        return false;
    }
    if (const auto length = GoodFrameAt(0)) {
        const Bytes message(m_bytes.begin(), m_bytes.begin() + *length - kRtuCheckSize);
        m_sink.Frame(message, Bytes(m_bytes.begin(), m_bytes.begin() + *length),
                     m_times[*length - 1]);
        Consume(*length);
        return true;
    }
    if (FrontMayGrow() && !WaitIsOver()) {
        return false;
    }
    if (const auto bad = BadFrameAtFront()) {
        m_sink.BadCheck(Bytes(m_bytes.begin(), m_bytes.begin() + bad->length),
                        m_times[bad->length - 1], "bad CRC", m_bytes[0], bad->answersPending);
        Consume(bad->length);
        return true;
    }
    m_sink.Noise(m_bytes.data(), 1, m_times[0]);
    Consume(1);
    return true;
}

// The length of a complete frame with a good CRC starting at `at`, the expected shape first.
std::optional<std::size_t> CRtuSplitter::GoodFrameAt(std::size_t at) const {
    const std::size_t have = m_bytes.size() - at;
    bool unknown = false;
    std::optional<std::size_t> found;
    for (const Role role : RolesAt(at)) {
        const PduLength shape = LengthAt(role, at);
        unknown = unknown || shape.fit == PduLength::Fit::Unknown;
        if (shape.fit != PduLength::Fit::Length || shape.length > have ||
            !CheckIsGood(at, shape.length)) {
            continue;
        }
        // A good frame and the 0x00 after it make a good frame one byte longer: where both
        // shapes fit, a silence after the shorter one cuts the longer, else the expected wins.
        if (!found || (shape.length < *found && IsBreak(at + shape.length))) {
            found = shape.length;
        }
    }
    if (found) {
        return found;
    }
    return SilenceMayEnd(at, unknown) ? ChunkFrameAt(at) : std::nullopt;
}

// A frame of no known shape: the bytes up to a silence, when their CRC is good.
std::optional<std::size_t> CRtuSplitter::ChunkFrameAt(std::size_t at) const {
    const std::size_t last = std::min(m_bytes.size(), at + kMaxRtuFrame);
    unsigned silences = 0;
    for (std::size_t end = at + 1; end <= last && silences < kUnknownShapeSilences; ++end) {
        if (!IsBreak(end)) {
            continue;
        }
        ++silences;
        if (end - at >= kMinRtuFrame && CheckIsGood(at, end - at)) {
            return end - at;
        }
    }
    return std::nullopt;
}

// Whether more bytes, or a silence, could still tell what starts at the front.
bool CRtuSplitter::FrontMayGrow() const {
    const std::size_t have = m_bytes.size();
    bool unknown = false;
    for (const Role role : RolesAt(0)) {
        const PduLength shape = LengthAt(role, 0);
        if (shape.fit == PduLength::Fit::NeedMore ||
            (shape.fit == PduLength::Fit::Length && shape.length > have)) {
            return true;
        }
        // A run that began after a silence and has its shape's length: whether a silence
        // follows tells a frame with a bad CRC from noise.
        if (shape.fit == PduLength::Fit::Length && shape.length == have && m_afterSilence[0] &&
            !IsBreak(have)) {
            return true;
        }
        unknown = unknown || shape.fit == PduLength::Fit::Unknown;
    }
    if (!SilenceMayEnd(0, unknown) || have >= kMaxRtuFrame) {
        return false;
    }
    unsigned silences = 0;
    for (std::size_t end = 1; end <= have; ++end) {
        silences += IsBreak(end) ? 1 : 0;
    }
    return silences < kUnknownShapeSilences;
}

// A wait for the front's remaining bytes ends at the end of input, after the burst wait, or
// when the bytes after the next silence already make a good frame of their own.
bool CRtuSplitter::WaitIsOver() const {
    if (m_finishing || m_now - m_last >= m_burstWait) {
        return true;
    }
    for (std::size_t at = 1; at < m_bytes.size(); ++at) {
        if (m_afterSilence[at]) {
            return GoodFrameAt(at).has_value();
        }
    }
    return false;
}

// A run of the front's shape that is surely a frame but for its CRC: the answer the bus waits
// for, or a run the line's silences delimit. Not when a good frame starts inside it.
std::optional<CRtuSplitter::BadFrame> CRtuSplitter::BadFrameAtFront() const {
    const std::size_t have = m_bytes.size();
    for (const Role role : RolesAt(0)) {
        const PduLength shape = LengthAt(role, 0);
        if (shape.fit != PduLength::Fit::Length || shape.length > have) {
            continue;
        }
        const bool answersPending = role == Role::Answer && ExpectedAt(0);
        const bool delimited = m_afterSilence[0] && IsBreak(shape.length);
        if (!answersPending && !delimited) {
            continue;
        }
        for (std::size_t at = 1; at < shape.length; ++at) {
            if (GoodFrameAt(at)) {
                return std::nullopt;
            }
        }
        return BadFrame{shape.length, answersPending};
    }
    return std::nullopt;
}

bool CRtuSplitter::ExpectedAt(std::size_t at) const {
    const auto expected = m_sink.Expected();
    return m_settings.roles != FrameRoles::Requests && expected && at + 1 < m_bytes.size() &&
           m_bytes[at] == expected->unit &&
           (m_bytes[at + 1] & ~kExceptionFlag) == expected->function;
}

std::span<const Role> CRtuSplitter::RolesAt(std::size_t at) const {
    switch (m_settings.roles) {
        case FrameRoles::Requests:
            return kRequestOnly;
        case FrameRoles::Answers:
            return kAnswerOnly;
        case FrameRoles::Either:
        default:
            return ExpectedAt(at) ? std::span<const Role>(kAnswerFirst) : kRequestFirst;
    }
}

PduLength CRtuSplitter::LengthAt(Role role, std::size_t at) const {
    return RtuFrameLength(role, std::span(m_bytes).subspan(at));
}

// unknown: a role's function gives no length for the frame at `at`.
bool CRtuSplitter::SilenceMayEnd(std::size_t at, bool unknown) const {
    if (m_settings.silenceMayEnd == nullptr) {
        return unknown;
    }
    return m_settings.silenceMayEnd(m_bytes.data() + at, m_bytes.size() - at);
}

// Whether a silence came between byte at-1 and byte at; past the last byte, whether the line
// has been quiet that long since.
bool CRtuSplitter::IsBreak(std::size_t at) const {
    if (at < m_bytes.size()) {
        return m_afterSilence[at];
    }
    return m_finishing || m_now - m_last >= m_silence;
}

bool CRtuSplitter::CheckIsGood(std::size_t at, std::size_t length) const {
    if (length < kMinRtuFrame) {
        return false;
    }
    return RtuCheckMatches(m_bytes.data() + at, length);
}

void CRtuSplitter::Consume(std::size_t count) {
    m_bytes.erase(m_bytes.begin(), m_bytes.begin() + count);
    m_times.erase(m_times.begin(), m_times.begin() + count);
    m_afterSilence.erase(m_afterSilence.begin(), m_afterSilence.begin() + count);
}

}  // namespace protocol
