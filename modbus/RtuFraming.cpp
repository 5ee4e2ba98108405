// RTU: the message and its CRC-16, the frame ended by the line's silence.
#include "modbus/Framing.h"
#include "protocol/Crc16.h"
#include "protocol/Limits.h"
#include "protocol/Pdu.h"
#include "protocol/RtuCodec.h"

namespace {

using protocol::kExceptionFlag;

// Room for twice the longest frame, so that an overlong answer shows as one.
constexpr std::size_t kFrameSize = 2 * protocol::kMaxRtuFrame;
constexpr std::uint32_t kFirstRead = protocol::kMinRtuFrame;
constexpr std::size_t kCheckLength = protocol::kRtuCheckSize;
// slave, function | flag, code, check
constexpr std::uint32_t kExceptionLength = 3 + protocol::kRtuCheckSize;
// After an answer ended by its length, how long more bytes may still turn up and make it
// overlong: a slave that keeps sending leaves no more than a character and a half between
// bytes, so this is what the saved character interval is traded for.
constexpr std::uint32_t kTrailingCharacters = 2;

class CRtuFraming final : public CFraming {
public:
    CRtuFraming() : m_frame(kFrameSize, 0) {}

    SerialTimeouts PortTimeouts(const LineTimes& times) const override {
        // The driver's interval time-out finds the end of an RTU frame.
        SerialTimeouts timeouts{};
        timeouts.ReadIntervalTimeout = times.charIntervalMs;
        timeouts.ReadTotalTimeoutMultiplier = times.characterTimeMs;
        timeouts.ReadTotalTimeoutConstant = times.timeoutMs;
        timeouts.WriteTotalTimeoutMultiplier = times.charIntervalMs;
        timeouts.WriteTotalTimeoutConstant = times.timeoutMs;
        return timeouts;
    }

    // The check goes into the caller's request, which has always carried it back.
    std::span<const std::uint8_t> Wrap(ByteArray& request, std::uint16_t length) override {
        const std::uint16_t crc = m_crc.Compute(request, length);
        if (request.size() < length + kCheckLength) {
            request.resize(length + kCheckLength, 0);
        }
        request[length] = protocol::LowByte(crc);
        request[length + 1] = protocol::HighByte(crc);
        return {request.data(), length + kCheckLength};
    }

    void EndAnswerAt(std::uint16_t length) override { m_answerLength = length; }

    // The first read waits out the response time-out; the second ends at the frame's silence,
    // or, with the answer's length known, as soon as that many bytes are in.
    std::uint16_t Read(CExchangeLine& line) override {
        m_frame.assign(kFrameSize, 0);
        m_count = 0;
        std::uint32_t received = 0;
        if (!line.Read(m_frame.data(), kFirstRead, received)) {
            return kModbusReadError;
        }
        m_count = received;
        if (m_count < kFirstRead) {
            return kModbusOk;
        }
        const std::uint32_t frameLength = ExpectedFrameLength();
        if (frameLength == 0) {
            if (!line.Read(m_frame.data() + m_count, kFrameSize - kFirstRead, received)) {
                return kModbusReadError;
            }
            m_count += received;
            return kModbusOk;
        }
        return ReadToLength(line, frameLength);
    }

    std::uint16_t Unwrap(std::uint16_t expectedLength, ByteArray& response,
                         std::uint16_t* received) override {
        std::size_t payloadLength = 0;
        const std::uint16_t code = Check(expectedLength, payloadLength);
        if (code != kModbusOk) {
            return code;
        }
        response.assign(m_frame.begin(),
                        m_frame.begin() + static_cast<std::ptrdiff_t>(payloadLength));
        if (received != nullptr) {
            *received = static_cast<std::uint16_t>(payloadLength);
        }
        return kModbusOk;
    }

private:
    // The whole frame the answer must be, from its first bytes; 0 when only silence tells.
    std::uint32_t ExpectedFrameLength() const {
        if (m_answerLength == 0) {
            return 0;
        }
        if (m_frame[1] > kExceptionFlag) {
            return kExceptionLength;
        }
        const std::size_t length = m_answerLength + kCheckLength;
        return length <= kFrameSize ? static_cast<std::uint32_t>(length) : 0;
    }

    // Reads up to frameLength under the port's time-outs (the character interval the longest
    // gap), then takes what follows within a few character times, which makes the answer
    // overlong. The port gets its time-outs back for the next exchange.
    std::uint16_t ReadToLength(CExchangeLine& line, std::uint32_t frameLength) {
        std::uint32_t received = 0;
        if (m_count < frameLength) {
            if (!line.Read(m_frame.data() + m_count, frameLength - m_count, received)) {
                return kModbusReadError;
            }
            m_count += received;
        }
        if (m_count < frameLength) {
            return kModbusOk;
        }
        const std::uint32_t trailing = kTrailingCharacters * line.Times().characterTimeMs;
        const bool read =
            line.ReadWithin(m_frame.data() + m_count, kFrameSize - m_count, trailing, received);
        m_count += received;
        if (!line.SetTimeouts(PortTimeouts(line.Times())) || !read) {
            return kModbusReadError;
        }
        return kModbusOk;
    }

    bool CrcMatches(std::size_t length) const {
        return protocol::RtuCheckMatches(m_frame.data(), length + kCheckLength);
    }

    // An answer counts only when it is exactly the expected length plus its check.
    std::uint16_t Check(std::uint16_t expectedLength, std::size_t& payloadLength) const {
        if (m_count == 0) {
            return kModbusTimeout;
        }
        if (m_frame[1] > kExceptionFlag) {
            if (m_count < kExceptionLength || !CrcMatches(3)) {
                return kModbusCrcError;
            }
            return static_cast<std::uint16_t>(kModbusException + m_frame[2]);
        }
        if (expectedLength == 0) {
            // A frame followed by its own CRC has a CRC of 0 over the whole.
            if (CCrc16::Compute(m_frame.data(), m_count) != 0) {
                return kModbusCrcError;
            }
            payloadLength = m_count > kCheckLength ? m_count - kCheckLength : 0;
            return kModbusOk;
        }
        if (expectedLength + kCheckLength > kFrameSize ||
            m_count != expectedLength + kCheckLength || !CrcMatches(expectedLength)) {
            return kModbusCrcError;
        }
        payloadLength = expectedLength;
        return kModbusOk;
    }

    CCrc16 m_crc;
    ByteArray m_frame;
    std::uint32_t m_count = 0;
    std::uint16_t m_answerLength = 0;  // message length that ends the read; 0 for silence
};

}  // namespace

std::unique_ptr<CFraming> MakeRtuFraming() {
    return std::make_unique<CRtuFraming>();
}
