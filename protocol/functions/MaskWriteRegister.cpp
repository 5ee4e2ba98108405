#include "protocol/functions/MaskWriteRegister.h"

#include "protocol/DataModel.h"
#include "protocol/functions/FieldReading.h"

namespace protocol {
namespace {

constexpr std::size_t kAddressAt = 1;
constexpr std::size_t kAndAt = 3;
constexpr std::size_t kOrAt = 5;
constexpr std::size_t kPduSize = 7;

PduLength Length(Role /*role*/, PduView /*have*/) {
    return PduLength::Of(kPduSize);
}

std::optional<Bytes> Serve(PduView request, IDataModel& model, std::uint8_t /*unit*/) {
    const auto mask = ReadMaskWriteRegisterRequest(request);
    if (!mask) {
        return IllegalValue(request);
    }
    Words current;
    std::uint8_t refused = model.ReadRegisters(Table::HoldingRegisters, mask->address, 1, current);
    if (refused == kNoException && current.empty()) {
        // A model that answers a read with no register cannot be changed bit by bit.
        refused = kServerDeviceFailure;
    }
    if (refused == kNoException) {
        refused = model.WriteRegisters(mask->address, {MaskedValue(current[0], *mask)});
    }
    if (refused != kNoException) {
        return ExceptionPdu(request[0], refused);
    }
    return BuildMaskWriteRegisterAnswer(*mask);
}

void Describe(Role /*role*/, PduView pdu, const Description* /*request*/, Description& out) {
    // The answer is the request's echo: both sides read alike.
    if (const auto mask = ReadMaskWriteRegisterRequest(pdu, &out.malformed)) {
        out.address = mask->address;
        out.fields.push_back({"and", Hex16(mask->andMask)});
        out.fields.push_back({"or", Hex16(mask->orMask)});
    }
}

}  // namespace

std::uint16_t MaskedValue(std::uint16_t current, MaskWrite mask) {
    return static_cast<std::uint16_t>((current & mask.andMask) | (mask.orMask & ~mask.andMask));
}

Bytes BuildMaskWriteRegisterRequest(MaskWrite mask) {
    Bytes pdu = NewPdu({kMaskWriteRegister});
    PutWord(pdu, mask.address);
    PutWord(pdu, mask.andMask);
    PutWord(pdu, mask.orMask);
    return pdu;
}

std::optional<MaskWrite> ReadMaskWriteRegisterRequest(PduView pdu, std::string* why) {
    if (!HasSize(pdu, kPduSize, why)) {
        return std::nullopt;
    }
    return MaskWrite{WordAt(pdu, kAddressAt), WordAt(pdu, kAndAt), WordAt(pdu, kOrAt)};
}

Bytes BuildMaskWriteRegisterAnswer(MaskWrite mask) {
    return BuildMaskWriteRegisterRequest(mask);
}

std::optional<MaskWrite> ReadMaskWriteRegisterAnswer(PduView pdu, std::string* why) {
    return ReadMaskWriteRegisterRequest(pdu, why);
}

const FunctionEntry kMaskWriteRegisterFunction{
    kMaskWriteRegister, "Mask Write Register", Length, Serve, Describe, true};

}  // namespace protocol
