#include "protocol/functions/ReadExceptionStatus.h"

#include "protocol/DataModel.h"
#include "protocol/functions/FieldReading.h"

namespace protocol {
namespace {

constexpr std::size_t kRequestSize = 1;
constexpr std::size_t kStatusAt = 1;
constexpr std::size_t kAnswerSize = 2;

PduLength Length(Role role, PduView /*have*/) {
    return PduLength::Of(role == Role::Request ? kRequestSize : kAnswerSize);
}

std::optional<Bytes> Serve(PduView request, IDataModel& model, std::uint8_t /*unit*/) {
    if (!ReadReadExceptionStatusRequest(request)) {
        return IllegalValue(request);
    }
    return BuildReadExceptionStatusAnswer(model.ExceptionStatus());
}

void Describe(Role role, PduView pdu, const Description* /*request*/, Description& out) {
    if (role == Role::Request) {
        ReadReadExceptionStatusRequest(pdu, &out.malformed);
    } else if (const auto status = ReadReadExceptionStatusAnswer(pdu, &out.malformed)) {
        out.fields.push_back({"status", Hex16(*status)});
    }
}

}  // namespace

Bytes BuildReadExceptionStatusRequest() {
    return {kReadExceptionStatus};
}

bool ReadReadExceptionStatusRequest(PduView pdu, std::string* why) {
    return HasSize(pdu, kRequestSize, why);
}

Bytes BuildReadExceptionStatusAnswer(std::uint8_t status) {
    return {kReadExceptionStatus, status};
}

std::optional<std::uint8_t> ReadReadExceptionStatusAnswer(PduView pdu, std::string* why) {
    if (!HasSize(pdu, kAnswerSize, why)) {
        return std::nullopt;
    }
    return pdu[kStatusAt];
}

const FunctionEntry kReadExceptionStatusFunction{kReadExceptionStatus, "Read Exception Status",
                                                 Length, Serve, Describe};

}  // namespace protocol
