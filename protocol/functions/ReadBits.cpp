#include "protocol/functions/ReadBits.h"

#include <algorithm>

#include "protocol/DataModel.h"
#include "protocol/Limits.h"
#include "protocol/functions/FieldReading.h"

namespace protocol {
namespace {

constexpr std::size_t kStartAt = 1;
constexpr std::size_t kCountAt = 3;
constexpr std::size_t kRequestSize = 5;
constexpr std::size_t kByteCountAt = 1;
constexpr std::size_t kBitsAt = 2;

PduLength Length(Role role, PduView have) {
    return role == Role::Request ? PduLength::Of(kRequestSize) : CountedLength(have, kByteCountAt);
}

Table TableOf(std::uint8_t function) {
    return function == kReadCoils ? Table::Coils : Table::DiscreteInputs;
}

std::optional<Bytes> Serve(PduView request, IDataModel& model, std::uint8_t /*unit*/) {
    const auto range = ReadReadBitsRequest(request);
    if (!range) {
        return IllegalValue(request);
    }
    Bytes bits;
    const std::uint8_t refused =
        model.ReadBits(TableOf(request[0]), range->start, range->count, bits);
    if (refused != kNoException) {
        return ExceptionPdu(request[0], refused);
    }
    return BuildReadBitsAnswer(request[0], bits);
}

void Describe(Role role, PduView pdu, const Description* request, Description& out) {
    std::string why;
    out.bitValues = role == Role::Answer;
    if (role == Role::Request) {
        if (const auto range = ReadReadBitsRequest(pdu, &why)) {
            out.address = range->start;
            out.count = range->count;
        }
    } else if (auto bits = ReadReadBitsAnswer(pdu, &why)) {
        // The padding of the last byte is no bit: as many as the request asked, when heard.
        if (request != nullptr && request->count) {
            bits->resize(std::min<std::size_t>(bits->size(), *request->count));
        }
        out.values.assign(bits->begin(), bits->end());
    }
    out.malformed = why;
}

}  // namespace

Bytes BuildReadBitsRequest(std::uint8_t function, ReadRange range) {
    Bytes pdu = NewPdu({function});
    PutWord(pdu, range.start);
    PutWord(pdu, range.count);
    return pdu;
}

std::optional<ReadRange> ReadReadBitsRequest(PduView pdu, std::string* why) {
    if (!HasSize(pdu, kRequestSize, why)) {
        return std::nullopt;
    }
    const ReadRange range{WordAt(pdu, kStartAt), WordAt(pdu, kCountAt)};
    if (!CountFits(range.count, kMaxReadBits, "count", why)) {
        return std::nullopt;
    }
    return range;
}

Bytes BuildReadBitsAnswer(std::uint8_t function, const Bytes& bits) {
    const Bytes packed = PackBits(bits);
    Bytes pdu = NewPdu({function, static_cast<std::uint8_t>(packed.size())});
    pdu.insert(pdu.end(), packed.begin(), packed.end());
    return pdu;
}

std::size_t ReadBitsAnswerLength(std::uint16_t count) {
    return kBitsAt + BitBytes(count);
}

Bytes BitsOfAnswer(PduView pdu, std::uint16_t count) {
    return UnpackBits(pdu.subspan(kBitsAt), count);
}

std::optional<Bytes> ReadReadBitsAnswer(PduView pdu, std::string* why) {
    if (!HasAtLeast(pdu, kBitsAt, why) || !HasSize(pdu, kBitsAt + pdu[kByteCountAt], why)) {
        return std::nullopt;
    }
    return UnpackBits(pdu.subspan(kBitsAt), 8 * static_cast<std::size_t>(pdu[kByteCountAt]));
}

const FunctionEntry kReadCoilsFunction{kReadCoils, "Read Coils", Length, Serve, Describe};
const FunctionEntry kReadDiscreteInputsFunction{kReadDiscreteInputs, "Read Discrete Inputs", Length,
                                                Serve, Describe};

}  // namespace protocol
