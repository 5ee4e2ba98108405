#include "protocol/functions/ReadRegisters.h"

#include "protocol/DataModel.h"
#include "protocol/Limits.h"
#include "protocol/functions/FieldReading.h"

namespace protocol {
namespace {

constexpr std::size_t kStartAt = 1;
constexpr std::size_t kCountAt = 3;
constexpr std::size_t kRequestSize = 5;
constexpr std::size_t kByteCountAt = 1;
constexpr std::size_t kValuesAt = 2;

PduLength Length(Role role, PduView have) {
    return role == Role::Request ? PduLength::Of(kRequestSize) : CountedLength(have, kByteCountAt);
}

Table TableOf(std::uint8_t function) {
    return function == kReadHoldingRegisters ? Table::HoldingRegisters : Table::InputRegisters;
}

std::optional<Bytes> Serve(PduView request, IDataModel& model, std::uint8_t /*unit*/) {
    const auto range = ReadReadRegistersRequest(request);
    if (!range) {
        return IllegalValue(request);
    }
    Words values;
    const std::uint8_t refused =
        model.ReadRegisters(TableOf(request[0]), range->start, range->count, values);
    if (refused != kNoException) {
        return ExceptionPdu(request[0], refused);
    }
    return BuildReadRegistersAnswer(request[0], values);
}

void Describe(Role role, PduView pdu, const Description* /*request*/, Description& out) {
    std::string why;
    if (role == Role::Request) {
        if (const auto range = ReadReadRegistersRequest(pdu, &why)) {
            out.address = range->start;
            out.count = range->count;
        }
    } else if (auto values = ReadReadRegistersAnswer(pdu, &why)) {
        out.values = std::move(*values);
    }
    out.malformed = why;
}

}  // namespace

Bytes BuildReadRegistersRequest(std::uint8_t function, ReadRange range) {
    Bytes pdu = NewPdu({function});
    PutWord(pdu, range.start);
    PutWord(pdu, range.count);
    return pdu;
}

std::optional<ReadRange> ReadReadRegistersRequest(PduView pdu, std::string* why) {
    if (!HasSize(pdu, kRequestSize, why)) {
        return std::nullopt;
    }
    const ReadRange range{WordAt(pdu, kStartAt), WordAt(pdu, kCountAt)};
    if (!CountFits(range.count, kMaxReadRegisters, "count", why)) {
        return std::nullopt;
    }
    return range;
}

Bytes BuildReadRegistersAnswer(std::uint8_t function, const Words& values) {
    Bytes pdu = NewPdu({function, static_cast<std::uint8_t>(2 * values.size())});
    PutWords(pdu, values);
    return pdu;
}

std::size_t ReadRegistersAnswerLength(std::uint16_t count) {
    return kValuesAt + 2 * static_cast<std::size_t>(count);
}

Words RegistersOfAnswer(PduView pdu, std::uint16_t count) {
    return WordsAt(pdu, kValuesAt, count);
}

std::optional<Words> ReadReadRegistersAnswer(PduView pdu, std::string* why) {
    if (!HasAtLeast(pdu, kValuesAt, why)) {
        return std::nullopt;
    }
    const std::size_t byteCount = pdu[kByteCountAt];
    if (byteCount % 2 != 0) {
        return Refuse<Words>(why, "odd byte count " + std::to_string(byteCount));
    }
    if (!HasSize(pdu, kValuesAt + byteCount, why)) {
        return std::nullopt;
    }
    return WordsAt(pdu, kValuesAt, byteCount / 2);
}

const FunctionEntry kReadHoldingRegistersFunction{kReadHoldingRegisters, "Read Holding Registers",
                                                  Length, Serve, Describe};
const FunctionEntry kReadInputRegistersFunction{kReadInputRegisters, "Read Input Registers", Length,
                                                Serve, Describe};

}  // namespace protocol
