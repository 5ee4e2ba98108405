#include "protocol/functions/MaskWriteRegister.h"

namespace protocol {
namespace {

PduLength Length(Role, PduView) {
    return PduLength::Unknown();
}

std::optional<Bytes> Serve(PduView request, IDataModel&, std::uint8_t) {
    return ExceptionPdu(request[0], kIllegalFunction);
}

void Describe(Role, PduView, const Description*, Description&) {}

}  // namespace

const FunctionEntry kMaskWriteRegisterFunction{kMaskWriteRegister, "Mask Write Register", Length,
                                               Serve, Describe};

}  // namespace protocol
