#include "protocol/functions/WriteSingleCoil.h"

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
    const auto write = ReadWriteSingleCoil(request);
    if (!write) {
        return IllegalValue(request);
    }
    const std::uint8_t refused =
        model.WriteCoils(write->address, {static_cast<std::uint8_t>(write->value == kCoilOn)});
    if (refused != kNoException) {
        return ExceptionPdu(request[0], refused);
    }
    return Bytes(request.begin(), request.end());
}

void Describe(Role /*role*/, PduView pdu, const Description* /*request*/, Description& out) {
    out.bitValues = true;
    if (const auto write = ReadWriteSingleCoil(pdu, &out.malformed)) {
        out.address = write->address;
        out.count = 1;
        out.values = {static_cast<std::uint16_t>(write->value == kCoilOn ? 1 : 0)};
    }
}

}  // namespace

Bytes BuildWriteSingleCoil(std::uint16_t address, bool on) {
    Bytes pdu = NewPdu({kWriteSingleCoil});
    PutWord(pdu, address);
    PutWord(pdu, on ? kCoilOn : kCoilOff);
    return pdu;
}

std::optional<SingleWrite> ReadWriteSingleCoil(PduView pdu, std::string* why) {
    if (!HasSize(pdu, kSingleWriteLength, why)) {
        return std::nullopt;
    }
    const SingleWrite write{WordAt(pdu, kAddressAt), WordAt(pdu, kValueAt)};
    if (write.value != kCoilOn && write.value != kCoilOff) {
        return Refuse<SingleWrite>(why, "coil value " + Hex16(write.value));
    }
    return write;
}

const FunctionEntry kWriteSingleCoilFunction{
    kWriteSingleCoil, "Write Single Coil", Length, Serve, Describe, true};

}  // namespace protocol
