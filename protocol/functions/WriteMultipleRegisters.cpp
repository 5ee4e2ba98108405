#include "protocol/functions/WriteMultipleRegisters.h"

#include "protocol/DataModel.h"
#include "protocol/Limits.h"
#include "protocol/functions/FieldReading.h"

namespace protocol {
namespace {

std::size_t RegisterBytes(std::size_t registers) {
    return 2 * registers;
}

PduLength Length(Role role, PduView have) {
    return role == Role::Request ? CountedLength(have, kMultipleWriteByteCountAt)
                                 : PduLength::Of(kMultipleWriteAnswerLength);
}

std::optional<Bytes> Serve(PduView request, IDataModel& model, std::uint8_t /*unit*/) {
    const auto write = ReadWriteMultipleRegistersRequest(request);
    if (!write) {
        return IllegalValue(request);
    }
    const std::uint8_t refused = model.WriteRegisters(write->start, write->values);
    if (refused != kNoException) {
        return ExceptionPdu(request[0], refused);
    }
    return BuildWriteMultipleRegistersAnswer(
        {write->start, static_cast<std::uint16_t>(write->values.size())});
}

void Describe(Role role, PduView pdu, const Description* /*request*/, Description& out) {
    if (role == Role::Request) {
        if (const auto write = ReadWriteMultipleRegistersRequest(pdu, &out.malformed)) {
            out.address = write->start;
            out.count = static_cast<std::uint16_t>(write->values.size());
            out.values = write->values;
        }
    } else if (const auto echo = ReadWriteMultipleRegistersAnswer(pdu, &out.malformed)) {
        out.address = echo->start;
        out.count = echo->count;
    }
}

}  // namespace

Bytes BuildWriteMultipleRegistersRequest(const RegistersWrite& write) {
    Bytes data;
    data.reserve(RegisterBytes(write.values.size()));
    PutWords(data, write.values);
    return BuildMultipleWrite(kWriteMultipleRegisters, write.start,
                              static_cast<std::uint16_t>(write.values.size()), data);
}

std::optional<RegistersWrite> ReadWriteMultipleRegistersRequest(PduView pdu, std::string* why) {
    const auto write = ReadMultipleWrite(pdu, kMaxWriteRegisters, RegisterBytes, why);
    if (!write) {
        return std::nullopt;
    }
    return RegistersWrite{write->start, WordsAt(pdu, kMultipleWriteDataAt, write->count)};
}

Bytes BuildWriteMultipleRegistersAnswer(MultipleWrite write) {
    return BuildMultipleWriteAnswer(kWriteMultipleRegisters, write);
}

std::optional<MultipleWrite> ReadWriteMultipleRegistersAnswer(PduView pdu, std::string* why) {
    return ReadMultipleWriteAnswer(pdu, why);
}

const FunctionEntry kWriteMultipleRegistersFunction{
    kWriteMultipleRegisters, "Write Multiple Registers", Length, Serve, Describe, true};

}  // namespace protocol
