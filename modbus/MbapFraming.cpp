// Modbus TCP's application data unit: transaction id, protocol id 0, length, unit id, the PDU,
// and no check. An answer that belongs to another request (a late one, another unit's) is
// dropped and the wait goes on, up to the response time-out in all.
#include <string>

#include "modbus/Framing.h"
#include "platform/Clock.h"
#include "protocol/Limits.h"
#include "protocol/MbapCodec.h"
#include "protocol/Pdu.h"

namespace {

using protocol::kExceptionFlag;

constexpr std::size_t kLengthAt = protocol::kMbapLengthAt;
constexpr std::size_t kUnitAt = protocol::kMbapUnitAt;
constexpr std::uint32_t kHeaderLength = protocol::kMbapHeaderSize;
constexpr std::size_t kFrameSize = protocol::kMaxMbapFrame;

class CMbapFraming final : public CFraming {
public:
    CMbapFraming() : m_frame(kFrameSize, 0) {}

    SerialTimeouts PortTimeouts(const LineTimes& times) const override {
        // Each read sets its own bound from what is left of the response time-out.
        SerialTimeouts timeouts{};
        timeouts.ReadTotalTimeoutConstant = times.timeoutMs;
        timeouts.WriteTotalTimeoutConstant = times.timeoutMs;
        return timeouts;
    }

    std::span<const std::uint8_t> Wrap(ByteArray& request, std::uint16_t length) override {
        ++m_transaction;
        m_dropped = 0;
        m_remark.clear();
        m_unit = length > 0 ? request[0] : 0;
        m_function = length > 1 ? request[1] : 0;
        if (length == 0) {
            // Nothing but a header with a length of 0, which no device takes.
            m_frame.assign(
                {protocol::HighByte(m_transaction), protocol::LowByte(m_transaction), 0, 0, 0, 0});
            return m_frame;
        }
        m_frame = protocol::MbapWrap(m_transaction, request[0], request.data() + 1, length - 1u);
        return m_frame;
    }

    std::uint16_t Read(CExchangeLine& line) override;

    std::uint16_t Unwrap(std::uint16_t expectedLength, ByteArray& response,
                         std::uint16_t* received) override {
        if (m_count == 0) {
            return kModbusTimeout;
        }
        const auto begin = m_frame.begin() + kUnitAt;
        const std::size_t length = m_count - kUnitAt;
        if (begin[1] > kExceptionFlag) {
            return length >= 3 ? static_cast<std::uint16_t>(kModbusException + begin[2])
                               : kModbusCrcError;
        }
        if (expectedLength != 0 && length != expectedLength) {
            return kModbusCrcError;
        }
        response.assign(begin, begin + static_cast<std::ptrdiff_t>(length));
        if (received != nullptr) {
            *received = static_cast<std::uint16_t>(length);
        }
        return kModbusOk;
    }

    std::string Remark() const override {
        if (m_dropped == 0) {
            return m_remark;
        }
        return (m_remark.empty() ? "" : m_remark + ", ") + "dropped " + std::to_string(m_dropped) +
               (m_dropped == 1 ? " answer" : " answers") + " not in flight";
    }

private:
    std::uint16_t WordAt(std::size_t at) const {
        return static_cast<std::uint16_t>(m_frame[at] << 8 | m_frame[at + 1]);
    }

    bool Belongs() const {
        const std::uint8_t function = m_frame[kUnitAt + 1];
        return WordAt(0) == m_transaction && WordAt(2) == 0 && m_frame[kUnitAt] == m_unit &&
               (function == m_function || function == (m_function | kExceptionFlag));
    }

    // Reads into the frame at `at` until the wanted bytes are there or the line stays silent
    // for what is left of the response time-out, counted from start; past it, a frame already
    // begun still gets the bytes that have arrived.
    bool ReadPart(CExchangeLine& line, std::uint32_t start, std::size_t at, std::uint32_t wanted,
                  std::uint32_t& received) {
        received = 0;
        while (received < wanted) {
            std::uint32_t got = 0;
            if (!line.ReadWithin(m_frame.data() + at + received, wanted - received,
                                 TimeLeft(line, start), got)) {
                return false;
            }
            if (got == 0) {
                return true;
            }
            received += got;
        }
        return true;
    }

    static std::uint32_t TimeLeft(const CExchangeLine& line, std::uint32_t start) {
        const std::uint32_t timeout = line.Times().timeoutMs;
        const std::uint32_t spent = TimeGetTime() - start;
        return spent >= timeout ? 0 : timeout - spent;
    }

    std::uint16_t Fail(std::uint16_t code, std::string remark) {
        m_remark = std::move(remark);
        return code;
    }

    ByteArray m_frame;
    std::uint32_t m_count = 0;
    std::uint16_t m_transaction = 0;
    std::uint8_t m_unit = 0;
    std::uint8_t m_function = 0;
    unsigned m_dropped = 0;
    std::string m_remark;
};

std::uint16_t CMbapFraming::Read(CExchangeLine& line) {
    m_frame.assign(kFrameSize, 0);
    m_count = 0;
    const std::uint32_t start = TimeGetTime();
    for (;;) {
        // No frame begins after the time-out, however many keep coming.
        if (TimeLeft(line, start) == 0) {
            return kModbusTimeout;
        }
        std::uint32_t got = 0;
        if (!ReadPart(line, start, 0, kHeaderLength, got)) {
            return kModbusReadError;
        }
        if (got == 0) {
            return kModbusTimeout;
        }
        if (got < kHeaderLength) {
            return Fail(kModbusCrcError, "header cut at " + std::to_string(got) + " bytes");
        }
        // A length outside the unit id and one PDU leaves no way to find the frame's end.
        const std::uint16_t length = WordAt(kLengthAt);
        if (length < protocol::kMbapMinLength || length > protocol::kMbapMaxLength) {
            return Fail(kModbusCrcError, "length field " + std::to_string(length));
        }
        const std::uint32_t rest = length - 1u;
        if (!ReadPart(line, start, kHeaderLength, rest, got)) {
            return kModbusReadError;
        }
        if (got < rest) {
            return Fail(kModbusCrcError, std::to_string(got) + " of " + std::to_string(rest) +
                                             " bytes after the header");
        }
        if (Belongs()) {
            m_count = kUnitAt + length;
            return kModbusOk;
        }
        ++m_dropped;
    }
}

}  // namespace

std::unique_ptr<CFraming> MakeMbapFraming() {
    return std::make_unique<CMbapFraming>();
}
