// ASCII: ':', the message and its LRC in hex digits, CR LF.
#include <algorithm>
#include <limits>

#include "modbus/Framing.h"
#include "platform/Clock.h"
#include "protocol/AsciiCodec.h"
#include "protocol/Limits.h"
#include "protocol/Lrc.h"

namespace {

using protocol::kExceptionFlag;

// Room for the digits of twice the longest frame, so that an overlong answer shows as one.
constexpr std::size_t kFrameSize = 2 * 2 * protocol::kMaxRtuFrame;
constexpr std::uint8_t kCr = protocol::kAsciiCr;
constexpr std::uint8_t kLf = protocol::kAsciiLf;
constexpr std::uint32_t kMinFrame = 5;  // ':', two LRC digits, CR, LF
constexpr std::uint32_t kPollSleepMs = 1;

class CAsciiFraming final : public CFraming {
public:
    CAsciiFraming() : m_frame(kFrameSize, 0) {}

    SerialTimeouts PortTimeouts(const LineTimes& /*times*/) const override {
        // ASCII polls byte by byte and does its own timing.
        SerialTimeouts timeouts{};
        timeouts.ReadIntervalTimeout = kReadAtOnce;
        return timeouts;
    }

    std::span<const std::uint8_t> Wrap(ByteArray& request, std::uint16_t length) override {
        m_frame = protocol::AsciiWrap(request.data(), length);
        return m_frame;
    }

    std::uint16_t Read(CExchangeLine& line) override;

    std::uint16_t Unwrap(std::uint16_t expectedLength, ByteArray& response,
                         std::uint16_t* received) override {
        if (m_count == 0) {
            return kModbusTimeout;
        }
        if (m_count < kMinFrame) {
            return kModbusCrcError;
        }
        // The LRC is the two characters in front of the closing CR LF.
        Decode((m_count - kMinFrame) / 2);
        const ByteArray& answer = m_message;
        if (ComputeLrc(answer.data(), answer.size()) != HexByteAt(m_count - 4)) {
            return kModbusCrcError;
        }
        if (answer.size() >= 2 && answer[1] > kExceptionFlag) {
            // An exception answer too short to carry its code is as bad as a broken check.
            return answer.size() >= 3 ? static_cast<std::uint16_t>(kModbusException + answer[2])
                                      : kModbusCrcError;
        }
        if (expectedLength != 0 && answer.size() != expectedLength) {
            return kModbusCrcError;
        }
        if (response.size() < answer.size()) {
            response.resize(answer.size(), 0);
        }
        std::copy(answer.begin(), answer.end(), response.begin());
        if (received != nullptr) {
            *received = static_cast<std::uint16_t>(answer.size());
        }
        return kModbusOk;
    }

private:
    std::uint8_t HexByteAt(std::size_t at) const {
        return HexDigitsToByte(static_cast<char>(m_frame[at]), static_cast<char>(m_frame[at + 1]));
    }

    void Decode(std::size_t byteCount) {
        m_message.resize(byteCount);
        for (std::size_t i = 0; i < byteCount; ++i) {
            m_message[i] = HexByteAt(1 + 2 * i);
        }
    }

    ByteArray m_frame;
    ByteArray m_message;  // the answer decoded, kept to spare an allocation per exchange
    std::uint32_t m_count = 0;
};

// Polls one byte at a time: the answer ends at CR LF, or when the line stays silent for the
// window (the response time-out before the first byte, the character interval after one),
// counted from the first empty poll. Like the RTU read, the whole answer gets the response
// time-out plus a full buffer's character times, so a slave that trickles bytes just inside
// the window cannot hold the exchange.
std::uint16_t CAsciiFraming::Read(CExchangeLine& line) {
    m_frame.assign(kFrameSize, 0);
    m_count = 0;
    const LineTimes& times = line.Times();
    const std::uint32_t start = TimeGetTime();
    const auto bound = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(times.timeoutMs + std::uint64_t{kFrameSize} * times.characterTimeMs,
                                std::numeric_limits<std::uint32_t>::max()));
    std::uint32_t window = times.timeoutMs;
    std::uint32_t firstIdle = 0;
    std::uint32_t lastIdle = 0;
    bool idle = false;
    bool idleAgain = false;  // lastIdle holds a poll after firstIdle
    for (;;) {
        std::uint32_t received = 0;
        if (!line.Read(m_frame.data() + m_count, 1, received)) {
            return kModbusReadError;
        }
        if (received == 1) {
            ++m_count;
            window = times.charIntervalMs;
            idle = false;
            idleAgain = false;
        } else {
            if (!idle) {
                idle = true;
                firstIdle = TimeGetTime();
            } else {
                lastIdle = TimeGetTime();
                idleAgain = true;
            }
            SleepMs(kPollSleepMs);
        }
        SerialStatus status;
        const bool known = line.Status(status);
        const bool complete =
            m_count > kMinFrame && m_frame[m_count - 2] == kCr && m_frame[m_count - 1] == kLf;
        const bool queueEmpty = !known || status.cbInQue == 0;
        if (queueEmpty && idleAgain && lastIdle - firstIdle >= window) {
            return kModbusOk;
        }
        if (complete) {
            return kModbusOk;
        }
        if (m_count >= kFrameSize) {
            return kModbusReadError;
        }
        // A poll that brought a byte moves toward the buffer's end, so only an idle poll,
        // which has just read the clock, needs to look at the bound.
        if (idle && (idleAgain ? lastIdle : firstIdle) - start >= bound) {
            return kModbusTimeout;
        }
    }
}

}  // namespace

std::unique_ptr<CFraming> MakeAsciiFraming() {
    return std::make_unique<CAsciiFraming>();
}
