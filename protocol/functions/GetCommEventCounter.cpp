#include "protocol/functions/GetCommEventCounter.h"

#include "protocol/DataModel.h"
#include "protocol/functions/FieldReading.h"

namespace protocol {
namespace {

constexpr std::size_t kRequestSize = 1;
constexpr std::size_t kStatusAt = 1;
constexpr std::size_t kEventCountAt = 3;
constexpr std::size_t kAnswerSize = 5;

PduLength Length(Role role, PduView /*have*/) {
    return PduLength::Of(role == Role::Request ? kRequestSize : kAnswerSize);
}

std::optional<Bytes> Serve(PduView request, IDataModel& model, std::uint8_t /*unit*/) {
    if (!ReadGetCommEventCounterRequest(request)) {
        return IllegalValue(request);
    }
    const CDeviceDiagnostics& diagnostics = model.Diagnostics();
    return BuildGetCommEventCounterAnswer({diagnostics.Status(), diagnostics.EventCount()});
}

void Describe(Role role, PduView pdu, const Description* /*request*/, Description& out) {
    if (role == Role::Request) {
        ReadGetCommEventCounterRequest(pdu, &out.malformed);
    } else if (const auto counter = ReadGetCommEventCounterAnswer(pdu, &out.malformed)) {
        out.fields.push_back({"status", Hex16(counter->status)});
        out.fields.push_back({"events", std::to_string(counter->eventCount)});
    }
}

}  // namespace

Bytes BuildGetCommEventCounterRequest() {
    return {kGetCommEventCounter};
}

bool ReadGetCommEventCounterRequest(PduView pdu, std::string* why) {
    return HasSize(pdu, kRequestSize, why);
}

Bytes BuildGetCommEventCounterAnswer(CommEventCounter counter) {
    Bytes pdu = NewPdu({kGetCommEventCounter});
    PutWord(pdu, counter.status);
    PutWord(pdu, counter.eventCount);
    return pdu;
}

std::optional<CommEventCounter> ReadGetCommEventCounterAnswer(PduView pdu, std::string* why) {
    if (!HasSize(pdu, kAnswerSize, why)) {
        return std::nullopt;
    }
    return CommEventCounter{WordAt(pdu, kStatusAt), WordAt(pdu, kEventCountAt)};
}

const FunctionEntry kGetCommEventCounterFunction{kGetCommEventCounter, "Get Comm Event Counter",
                                                 Length, Serve, Describe};

}  // namespace protocol
