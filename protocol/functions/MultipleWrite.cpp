#include "protocol/functions/MultipleWrite.h"

#include "protocol/functions/FieldReading.h"

namespace protocol {
namespace {

constexpr std::size_t kStartAt = 1;
constexpr std::size_t kCountAt = 3;

}  // namespace

Bytes BuildMultipleWrite(std::uint8_t function, std::uint16_t start, std::uint16_t count,
                         const Bytes& data) {
    Bytes pdu = NewPdu({function});
    PutWord(pdu, start);
    PutWord(pdu, count);
    pdu.push_back(static_cast<std::uint8_t>(data.size()));
    pdu.insert(pdu.end(), data.begin(), data.end());
    return pdu;
}

std::optional<MultipleWrite> ReadMultipleWrite(PduView pdu, std::uint16_t most,
                                               std::size_t (*dataBytes)(std::size_t),
                                               std::string* why) {
    if (!HasAtLeast(pdu, kMultipleWriteDataAt, why)) {
        return std::nullopt;
    }
    const MultipleWrite write{WordAt(pdu, kStartAt), WordAt(pdu, kCountAt)};
    if (!CountFits(write.count, most, "count", why)) {
        return std::nullopt;
    }
    const std::size_t byteCount = pdu[kMultipleWriteByteCountAt];
    if (byteCount != dataBytes(write.count)) {
        return Refuse<MultipleWrite>(
            why, "byte count " + std::to_string(byteCount) + " for " + std::to_string(write.count));
    }
    if (!HasSize(pdu, kMultipleWriteDataAt + byteCount, why)) {
        return std::nullopt;
    }
    return write;
}

Bytes BuildMultipleWriteAnswer(std::uint8_t function, MultipleWrite write) {
    Bytes pdu = NewPdu({function});
    PutWord(pdu, write.start);
    PutWord(pdu, write.count);
    return pdu;
}

std::optional<MultipleWrite> ReadMultipleWriteAnswer(PduView pdu, std::string* why) {
    if (!HasSize(pdu, kMultipleWriteAnswerLength, why)) {
        return std::nullopt;
    }
    return MultipleWrite{WordAt(pdu, kStartAt), WordAt(pdu, kCountAt)};
}

}  // namespace protocol
