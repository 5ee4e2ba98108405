#include "protocol/FunctionTable.h"

#include <algorithm>
#include <array>
#include <string>

#include "protocol/DataModel.h"
#include "protocol/Limits.h"
#include "protocol/functions/Functions.h"

namespace protocol {
namespace {

// One row per function: adding a function is its file and its row here.
const std::array kTable = {
    kReadCoilsFunction,
    kReadDiscreteInputsFunction,
    kReadHoldingRegistersFunction,
    kReadInputRegistersFunction,
    kWriteSingleCoilFunction,
    kWriteSingleRegisterFunction,
    kReadExceptionStatusFunction,
    kDiagnosticsFunction,
    kGetCommEventCounterFunction,
    kGetCommEventLogFunction,
    kWriteMultipleCoilsFunction,
    kWriteMultipleRegistersFunction,
    kReportServerIdFunction,
    kReadFileRecordFunction,
    kWriteFileRecordFunction,
    kMaskWriteRegisterFunction,
    kReadWriteMultipleRegistersFunction,
    kReadFifoQueueFunction,
    kEncapsulatedInterfaceFunction,
};

// An exception answer: the code with its flag and one exception code the protocol defines.
constexpr std::size_t kExceptionPdu = 2;
constexpr std::size_t kExceptionCodeAt = 1;

PduLength ExceptionLength(PduView have) {
    if (have.size() <= kExceptionCodeAt) {
        return PduLength::NeedMore(kExceptionCodeAt + 1);
    }
    const std::uint8_t code = have[kExceptionCodeAt];
    return code >= kIllegalFunction && code <= kLastExceptionCode ? PduLength::Of(kExceptionPdu)
                                                                  : PduLength::None();
}

}  // namespace

PduLength PduLength::Bounded(std::size_t length) {
    return length <= kMaxPdu ? Of(length) : None();
}

const FunctionEntry* FindFunction(std::uint8_t code) {
    const auto found = std::find_if(kTable.begin(), kTable.end(),
                                    [code](const FunctionEntry& f) { return f.code == code; });
    return found == kTable.end() ? nullptr : &*found;
}

std::span<const FunctionEntry> Functions() {
    return kTable;
}

PduLength LengthOf(Role role, PduView have) {
    if (have.empty()) {
        return PduLength::NeedMore(1);
    }
    const std::uint8_t code = have[0];
    if ((code & ~kExceptionFlag) == 0) {
        return PduLength::None();
    }
    if ((code & kExceptionFlag) != 0) {
        return role == Role::Answer ? ExceptionLength(have) : PduLength::None();
    }
    const FunctionEntry* function = FindFunction(code);
    return function ? function->length(role, have) : PduLength::Unknown();
}

std::optional<Bytes> ServeRequest(PduView request, IDataModel& model, std::uint8_t unit) {
    if (request.empty()) {
        return std::nullopt;
    }
    const FunctionEntry* function = FindFunction(request[0]);
    if (function == nullptr) {
        return ExceptionPdu(request[0], kIllegalFunction);
    }
    return function->serve(request, model, unit);
}

Description DescribePdu(Role role, PduView pdu, const Description* request) {
    Description out;
    if (pdu.empty()) {
        out.malformed = "no function code";
        return out;
    }
    if (IsException(pdu)) {
        if (pdu.size() != kExceptionPdu) {
            out.malformed = "an exception answer of " + std::to_string(pdu.size()) + " bytes";
        }
        return out;
    }
    const FunctionEntry* function = FindFunction(pdu[0]);
    if (function == nullptr) {
        return out;
    }
    const PduLength length = function->length(role, pdu);
    if (length.fit == PduLength::Fit::Length && length.length != pdu.size()) {
        out.malformed = std::to_string(pdu.size()) + " bytes where the fields call for " +
                        std::to_string(length.length);
        return out;
    }
    if (length.fit == PduLength::Fit::None || length.fit == PduLength::Fit::NeedMore) {
        out.malformed = "fields that fit no frame";
        return out;
    }
    function->describe(role, pdu, request, out);
    return out;
}

}  // namespace protocol
