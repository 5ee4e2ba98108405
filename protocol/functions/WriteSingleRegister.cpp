#include "protocol/functions/WriteSingleRegister.h"

#include "protocol/DataModel.h"
#include "protocol/functions/FieldReading.h"

namespace protocol {
namespace {

constexpr std::size_t kAddressAt = 1;
constexpr std::size_t kValueAt = 3;

PduLength Length(Role /*role*/, PduView /*have*/) {
    return PduLength::Of(kSingleWriteLength);
}

std::optional<Bytes> Serve(PduView request, IDataModel& model, std::uint8_t /*unit*/) {
    const auto write = ReadWriteSingleRegister(request);
    if (!write) {
        return IllegalValue(request);
    }
    const std::uint8_t refused = model.WriteRegisters(write->address, {write->value});
    if (refused != kNoException) {
        return ExceptionPdu(request[0], refused);
    }
    return Bytes(request.begin(), request.end());
}

void Describe(Role /*role*/, PduView pdu, const Description* /*request*/, Description& out) {
    if (const auto write = ReadWriteSingleRegister(pdu, &out.malformed)) {
        out.address = write->address;
        out.count = 1;
        out.values = {write->value};
    }
}

}  // namespace

Bytes BuildWriteSingleRegister(SingleWrite write) {
    Bytes pdu = NewPdu({kWriteSingleRegister});
    PutWord(pdu, write.address);
    PutWord(pdu, write.value);
    return pdu;
}

std::optional<SingleWrite> ReadWriteSingleRegister(PduView pdu, std::string* why) {
    if (!HasSize(pdu, kSingleWriteLength, why)) {
        return std::nullopt;
    }
    return SingleWrite{WordAt(pdu, kAddressAt), WordAt(pdu, kValueAt)};
}

const FunctionEntry kWriteSingleRegisterFunction{
    kWriteSingleRegister, "Write Single Register", Length, Serve, Describe, true};

}  // namespace protocol
