#include "protocol/functions/GetCommEventLog.h"

#include <algorithm>

#include "protocol/DataModel.h"
#include "protocol/Limits.h"
#include "protocol/functions/FieldReading.h"

namespace protocol {
namespace {

constexpr std::size_t kRequestSize = 1;
constexpr std::size_t kByteCountAt = 1;
constexpr std::size_t kStatusAt = 2;
constexpr std::size_t kEventCountAt = 4;
constexpr std::size_t kMessageCountAt = 6;
constexpr std::size_t kEventsAt = 8;
// The three words the byte count counts before the events.
constexpr std::size_t kWordsBytes = kEventsAt - kStatusAt;

PduLength Length(Role role, PduView have) {
    return role == Role::Request ? PduLength::Of(kRequestSize) : CountedLength(have, kByteCountAt);
}

std::optional<Bytes> Serve(PduView request, IDataModel& model, std::uint8_t /*unit*/) {
    if (!ReadGetCommEventLogRequest(request)) {
        return IllegalValue(request);
    }
    const CDeviceDiagnostics& diagnostics = model.Diagnostics();
    const auto& events = diagnostics.Events();
    return BuildGetCommEventLogAnswer({diagnostics.Status(), diagnostics.EventCount(),
                                       diagnostics.Count().busMessages,
                                       Bytes(events.begin(), events.end())});
}

char HexDigit(unsigned value) {
    return "0123456789ABCDEF"[value & 0xF];
}

// Event bytes are bit sets: two hex digits each, newest first.
std::string EventsText(const Bytes& events) {
    std::string text;
    for (const std::uint8_t event : events) {
        if (!text.empty()) {
            text += ' ';
        }
        text += HexDigit(event >> 4);
        text += HexDigit(event);
    }
    return text;
}

void Describe(Role role, PduView pdu, const Description* /*request*/, Description& out) {
    if (role == Role::Request) {
        ReadGetCommEventLogRequest(pdu, &out.malformed);
        return;
    }
    if (const auto log = ReadGetCommEventLogAnswer(pdu, &out.malformed)) {
        out.fields.push_back({"status", Hex16(log->status)});
        out.fields.push_back({"events", std::to_string(log->eventCount)});
        out.fields.push_back({"messages", std::to_string(log->messageCount)});
        out.fields.push_back({"log", EventsText(log->events)});
    }
}

}  // namespace

Bytes BuildGetCommEventLogRequest() {
    return {kGetCommEventLog};
}

bool ReadGetCommEventLogRequest(PduView pdu, std::string* why) {
    return HasSize(pdu, kRequestSize, why);
}

Bytes BuildGetCommEventLogAnswer(const CommEventLog& log) {
    const std::size_t events = std::min(log.events.size(), kEventLogSize);
    Bytes pdu = NewPdu({kGetCommEventLog, static_cast<std::uint8_t>(kWordsBytes + events)});
    PutWord(pdu, log.status);
    PutWord(pdu, log.eventCount);
    PutWord(pdu, log.messageCount);
    pdu.insert(pdu.end(), log.events.begin(),
               log.events.begin() + static_cast<std::ptrdiff_t>(events));
    return pdu;
}

std::optional<CommEventLog> ReadGetCommEventLogAnswer(PduView pdu, std::string* why) {
    if (!HasAtLeast(pdu, kEventsAt, why)) {
        return std::nullopt;
    }
    const std::size_t byteCount = pdu[kByteCountAt];
    if (byteCount < kWordsBytes || byteCount > kWordsBytes + kEventLogSize) {
        return Refuse<CommEventLog>(why, "byte count " + std::to_string(byteCount) + " outside " +
                                             std::to_string(kWordsBytes) + " to " +
                                             std::to_string(kWordsBytes + kEventLogSize));
    }
    if (!HasSize(pdu, kStatusAt + byteCount, why)) {
        return std::nullopt;
    }
    return CommEventLog{WordAt(pdu, kStatusAt), WordAt(pdu, kEventCountAt),
                        WordAt(pdu, kMessageCountAt), Bytes(pdu.begin() + kEventsAt, pdu.end())};
}

const FunctionEntry kGetCommEventLogFunction{kGetCommEventLog, "Get Comm Event Log", Length, Serve,
                                             Describe};

}  // namespace protocol
