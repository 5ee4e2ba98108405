#include "tools/monitor/RtuSplitter.h"

#include <algorithm>

#include "protocol/Crc16.h"
#include "modbus/Framing.h"

namespace monitor {
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

}  // namespace

CRtuSplitter::CRtuSplitter(IFrameSink& sink, std::chrono::nanoseconds characterTime)
    : m_sink(sink),
      m_character(characterTime),
      m_silence(std::max<std::chrono::nanoseconds>(characterTime * 7 / 2, kLeastSilence)),
      m_burstWait(std::max<std::chrono::nanoseconds>(kBurstWait, m_silence * 2)) {}

void CRtuSplitter::Feed(const std::uint8_t* data, std::size_t count, Clock::time_point arrived) {
    if (count == 0) {
        return;
    }
    const auto quietBefore = arrived - m_last - m_character * static_cast<long>(count);
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

void CRtuSplitter::Tick(Clock::time_point now) {
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

void CRtuSplitter::Finish(Clock::time_point now) {
    m_now = now;
    m_finishing = true;
    Decide();
    m_finishing = false;
    m_sink.Quiet();
    m_quiet = true;
    m_silenceSeen = true;
}

std::optional<Clock::time_point> CRtuSplitter::Deadline() const {
    if (!m_bytes.empty() && !m_silenceSeen) {
        return m_last + m_silence;
    }
    if (!m_bytes.empty() || !m_quiet) {
        return m_last + m_burstWait;
    }
    return std::nullopt;
}

std::optional<Clock::time_point> CRtuSplitter::OldestHeld() const {
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
    for (const FrameRole role : RolesAt(at)) {
        const FrameShape shape = RtuShape(role, m_bytes.data() + at, have);
        unknown = unknown || shape.fit == FrameShape::Fit::Unknown;
        if (shape.fit != FrameShape::Fit::Length || shape.length > have ||
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
    const bool bySilence = unknown || SilenceMayEnd(m_bytes.data() + at, have);
    return bySilence ? ChunkFrameAt(at) : std::nullopt;
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
    for (const FrameRole role : RolesAt(0)) {
        const FrameShape shape = RtuShape(role, m_bytes.data(), have);
        if (shape.fit == FrameShape::Fit::NeedMore ||
            (shape.fit == FrameShape::Fit::Length && shape.length > have)) {
            return true;
        }
        // A run that began after a silence and has its shape's length: whether a silence
        // follows tells a frame with a bad CRC from noise.
        if (shape.fit == FrameShape::Fit::Length && shape.length == have && m_afterSilence[0] &&
            !IsBreak(have)) {
            return true;
        }
        unknown = unknown || shape.fit == FrameShape::Fit::Unknown;
    }
    const bool bySilence = unknown || SilenceMayEnd(m_bytes.data(), have);
    if (!bySilence || have >= kMaxRtuFrame) {
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
    for (const FrameRole role : RolesAt(0)) {
        const FrameShape shape = RtuShape(role, m_bytes.data(), have);
        if (shape.fit != FrameShape::Fit::Length || shape.length > have) {
            continue;
        }
        const bool answersPending = role == FrameRole::Answer && ExpectedAt(0);
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
    return expected && at + 1 < m_bytes.size() && m_bytes[at] == expected->slave &&
           (m_bytes[at + 1] & ~kExceptionFlag) == expected->function;
}

std::array<FrameRole, 2> CRtuSplitter::RolesAt(std::size_t at) const {
    if (ExpectedAt(at)) {
        return {FrameRole::Answer, FrameRole::Request};
    }
    return {FrameRole::Request, FrameRole::Answer};
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
    const std::uint8_t* frame = m_bytes.data() + at;
    const std::uint16_t crc = CCrc16::Compute(frame, length - kRtuCheckSize);
    return frame[length - 2] == (crc & 0xFF) && frame[length - 1] == (crc >> 8);
}

void CRtuSplitter::Consume(std::size_t count) {
    m_bytes.erase(m_bytes.begin(), m_bytes.begin() + count);
    m_times.erase(m_times.begin(), m_times.begin() + count);
    m_afterSilence.erase(m_afterSilence.begin(), m_afterSilence.begin() + count);
}

}  // namespace monitor
