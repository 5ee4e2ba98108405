#include "protocol/functions/ReadBits.h"

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

const FunctionEntry kReadCoilsFunction{kReadCoils, "Read Coils", Length, Serve, Describe};
const FunctionEntry kReadDiscreteInputsFunction{kReadDiscreteInputs, "Read Discrete Inputs", Length,
                                                Serve, Describe};

}  // namespace protocol
