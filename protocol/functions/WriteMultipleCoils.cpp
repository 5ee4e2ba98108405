#include "protocol/functions/WriteMultipleCoils.h"

#include "protocol/DataModel.h"
#include "protocol/Limits.h"
#include "protocol/functions/FieldReading.h"

namespace protocol {
namespace {

PduLength Length(Role role, PduView have) {
    return role == Role::Request ? CountedLength(have, kMultipleWriteByteCountAt)
                                 : PduLength::Of(kMultipleWriteAnswerLength);
}

std::optional<Bytes> Serve(PduView request, IDataModel& model, std::uint8_t /*unit*/) {
    const auto write = ReadWriteMultipleCoilsRequest(request);
    if (!write) {
        return IllegalValue(request);
    }
    const std::uint8_t refused = model.WriteCoils(write->start, write->bits);
    if (refused != kNoException) {
        return ExceptionPdu(request[0], refused);
    }
    return BuildWriteMultipleCoilsAnswer(
        {write->start, static_cast<std::uint16_t>(write->bits.size())});
}

void Describe(Role role, PduView pdu, const Description* /*request*/, Description& out) {
    out.bitValues = true;
    if (role == Role::Request) {
        if (const auto write = ReadWriteMultipleCoilsRequest(pdu, &out.malformed)) {
            out.address = write->start;
            out.count = static_cast<std::uint16_t>(write->bits.size());
            out.values.assign(write->bits.begin(), write->bits.end());
        }
    } else if (const auto echo = ReadWriteMultipleCoilsAnswer(pdu, &out.malformed)) {
        out.address = echo->start;
        out.count = echo->count;
    }
}

}  // namespace

Bytes BuildWriteMultipleCoilsRequest(const CoilsWrite& write) {
    return BuildMultipleWrite(kWriteMultipleCoils, write.start,
                              static_cast<std::uint16_t>(write.bits.size()), PackBits(write.bits));
}

std::optional<CoilsWrite> ReadWriteMultipleCoilsRequest(PduView pdu, std::string* why) {
    const auto write = ReadMultipleWrite(pdu, kMaxWriteBits, BitBytes, why);
    if (!write) {
        return std::nullopt;
    }
    return CoilsWrite{write->start, UnpackBits(pdu.subspan(kMultipleWriteDataAt), write->count)};
}

Bytes BuildWriteMultipleCoilsAnswer(MultipleWrite write) {
    return BuildMultipleWriteAnswer(kWriteMultipleCoils, write);
}

std::optional<MultipleWrite> ReadWriteMultipleCoilsAnswer(PduView pdu, std::string* why) {
    return ReadMultipleWriteAnswer(pdu, why);
}

const FunctionEntry kWriteMultipleCoilsFunction{
    kWriteMultipleCoils, "Write Multiple Coils", Length, Serve, Describe, true};

}  // namespace protocol
