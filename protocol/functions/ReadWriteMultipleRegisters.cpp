#include "protocol/functions/ReadWriteMultipleRegisters.h"

#include "protocol/DataModel.h"
#include "protocol/Limits.h"
#include "protocol/functions/FieldReading.h"

namespace protocol {
namespace {

constexpr std::size_t kReadStartAt = 1;
constexpr std::size_t kReadCountAt = 3;
constexpr std::size_t kWriteStartAt = 5;
constexpr std::size_t kWriteCountAt = 7;
constexpr std::size_t kRequestByteCountAt = 9;
constexpr std::size_t kValuesAt = 10;
constexpr std::size_t kAnswerByteCountAt = 1;

PduLength Length(Role role, PduView have) {
    return CountedLength(have, role == Role::Request ? kRequestByteCountAt : kAnswerByteCountAt);
}

std::optional<Bytes> Serve(PduView request, IDataModel& model, std::uint8_t /*unit*/) {
    const auto asked = ReadReadWriteMultipleRegistersRequest(request);
    if (!asked) {
        return IllegalValue(request);
    }
    // The write comes first, as the protocol orders it; the read is tried before it too, so a
    // read the device lacks refuses the request with nothing written.
    Words values;
    std::uint8_t refused =
        model.ReadRegisters(Table::HoldingRegisters, asked->read.start, asked->read.count, values);
    if (refused == kNoException) {
        refused = model.WriteRegisters(asked->writeStart, asked->values);
    }
    if (refused == kNoException) {
        refused = model.ReadRegisters(Table::HoldingRegisters, asked->read.start, asked->read.count,
                                      values);
    }
    if (refused != kNoException) {
        return ExceptionPdu(request[0], refused);
    }
    return BuildReadWriteMultipleRegistersAnswer(values);
}

void Describe(Role role, PduView pdu, const Description* /*request*/, Description& out) {
    if (role == Role::Answer) {
        if (auto values = ReadReadWriteMultipleRegistersAnswer(pdu, &out.malformed)) {
            out.values = std::move(*values);
        }
    } else if (auto asked = ReadReadWriteMultipleRegistersRequest(pdu, &out.malformed)) {
        out.address = asked->read.start;
        out.count = asked->read.count;
        out.fields.push_back({"write address", std::to_string(asked->writeStart)});
        out.fields.push_back({"write count", std::to_string(asked->values.size())});
        out.values = std::move(asked->values);
    }
}

}  // namespace

Bytes BuildReadWriteMultipleRegistersRequest(const ReadWriteRequest& request) {
    Bytes pdu = NewPdu({kReadWriteMultipleRegisters});
    PutWord(pdu, request.read.start);
    PutWord(pdu, request.read.count);
    PutWord(pdu, request.writeStart);
    PutWord(pdu, static_cast<std::uint16_t>(request.values.size()));
    pdu.push_back(static_cast<std::uint8_t>(2 * request.values.size()));
    PutWords(pdu, request.values);
    return pdu;
}

std::optional<ReadWriteRequest> ReadReadWriteMultipleRegistersRequest(PduView pdu,
                                                                      std::string* why) {
    if (!HasAtLeast(pdu, kValuesAt, why)) {
        return std::nullopt;
    }
    const ReadRange read{WordAt(pdu, kReadStartAt), WordAt(pdu, kReadCountAt)};
    const std::uint16_t writeCount = WordAt(pdu, kWriteCountAt);
    if (!CountFits(read.count, kMaxReadWriteReadRegisters, "read count", why) ||
        !CountFits(writeCount, kMaxReadWriteWriteRegisters, "write count", why)) {
        return std::nullopt;
    }
    const std::size_t byteCount = pdu[kRequestByteCountAt];
    if (byteCount != 2 * static_cast<std::size_t>(writeCount)) {
        return Refuse<ReadWriteRequest>(why, "byte count " + std::to_string(byteCount) + " for " +
                                                 std::to_string(writeCount) + " registers");
    }
    if (!HasSize(pdu, kValuesAt + byteCount, why)) {
        return std::nullopt;
    }
    return ReadWriteRequest{read, WordAt(pdu, kWriteStartAt), WordsAt(pdu, kValuesAt, writeCount)};
}

Bytes BuildReadWriteMultipleRegistersAnswer(const Words& values) {
    return BuildReadRegistersAnswer(kReadWriteMultipleRegisters, values);
}

std::optional<Words> ReadReadWriteMultipleRegistersAnswer(PduView pdu, std::string* why) {
    auto values = ReadReadRegistersAnswer(pdu, why);
    if (values && !CountFits(static_cast<std::uint16_t>(values->size()), kMaxReadWriteReadRegisters,
                             "count", why)) {
        return std::nullopt;
    }
    return values;
}

const FunctionEntry kReadWriteMultipleRegistersFunction{
    kReadWriteMultipleRegisters, "Read/Write Multiple Registers", Length, Serve, Describe};

}  // namespace protocol
