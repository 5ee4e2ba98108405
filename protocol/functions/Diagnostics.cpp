#include "protocol/functions/Diagnostics.h"

#include "protocol/DataModel.h"
#include "protocol/functions/FieldReading.h"

namespace protocol {
namespace {

constexpr std::size_t kSubFunctionAt = 1;
constexpr std::size_t kDataAt = 3;
// A sub-function with its one data word.
constexpr std::size_t kUsualSize = kDataAt + 2;

// Sub-function 0 echoes any number of words, so nothing in its bytes tells where it ends: a
// monitor ends it by the line's silence.
PduLength Length(Role /*role*/, PduView have) {
    if (have.size() < kDataAt) {
        return PduLength::NeedMore(kDataAt);
    }
    return WordAt(have, kSubFunctionAt) == kReturnQueryData ? PduLength::Unknown()
                                                            : PduLength::Of(kUsualSize);
}

std::optional<DiagnosticsPdu> ReadPdu(PduView pdu, std::string* why) {
    if (!HasAtLeast(pdu, kDataAt, why)) {
        return std::nullopt;
    }
    const std::size_t dataBytes = pdu.size() - kDataAt;
    if (dataBytes % 2 != 0) {
        return Refuse<DiagnosticsPdu>(why, std::to_string(dataBytes) + " data bytes, not words");
    }
    return DiagnosticsPdu{WordAt(pdu, kSubFunctionAt), WordsAt(pdu, kDataAt, dataBytes / 2)};
}

Bytes BuildPdu(const DiagnosticsPdu& pdu) {
    Bytes bytes{kDiagnostics};
    PutWord(bytes, pdu.subFunction);
    PutWords(bytes, pdu.data);
    return bytes;
}

// Sub-functions 11 to 18: the counter each returns.
std::optional<std::uint16_t> CounterOf(std::uint16_t subFunction, const CDeviceDiagnostics& d) {
    const CDeviceDiagnostics::Counters& count = d.Count();
    switch (subFunction) {
        case kBusMessageCount:
            return count.busMessages;
        case kBusCommErrorCount:
            return count.busCheckErrors;
        case kBusExceptionCount:
            return count.exceptions;
        case kServerMessageCount:
            return count.serverMessages;
        case kServerNoResponseCount:
            return count.noResponses;
        case kServerNakCount:
            return count.naks;
        case kServerBusyCount:
            return count.busy;
        case kBusOverrunCount:
            return count.characterOverruns;
        default:
            return std::nullopt;
    }
}

bool IsCounter(std::uint16_t subFunction) {
    return subFunction >= kBusMessageCount && subFunction <= kBusOverrunCount;
}

// A sub-function that takes 0x0000 as its only data, the application protocol's rule for all
// but 0 and 1.
bool TakesZero(const DiagnosticsPdu& asked) {
    return asked.data == Words{0};
}

bool IsServed(std::uint16_t sub) {
    return sub == kReturnQueryData || sub == kRestartCommunications ||
           sub == kReturnDiagnosticRegister || sub == kForceListenOnly || sub == kClearCounters ||
           (sub >= kBusMessageCount && sub <= kBusOverrunCount) || sub == kClearOverrun;
}

// The state diagram of the application protocol answers a sub-function the device does not
// serve as it does a function it lacks, with exception 1, and data a sub-function does not
// take with exception 3.
std::optional<Bytes> Serve(PduView request, IDataModel& model, std::uint8_t /*unit*/) {
    const auto asked = ReadDiagnosticsRequest(request);
    if (!asked) {
        return IllegalValue(request);
    }
    if (!IsServed(asked->subFunction)) {
        return ExceptionPdu(request[0], kIllegalFunction);
    }
    CDeviceDiagnostics& diagnostics = model.Diagnostics();
    const Bytes echo(request.begin(), request.end());
    const std::uint16_t sub = asked->subFunction;
    if (sub == kReturnQueryData) {
        return echo;
    }
    if (sub == kRestartCommunications) {
        if (asked->data != Words{kRestartClearLog} && asked->data != Words{kRestartKeepLog}) {
            return IllegalValue(request);
        }
        // The answer goes before the restart, and only from a device that was on line.
        const bool wasListening = diagnostics.ListenOnly();
        diagnostics.RestartCommunications(asked->data[0] == kRestartClearLog);
        return wasListening ? std::nullopt : std::optional<Bytes>(echo);
    }
    if (!TakesZero(*asked)) {
        return IllegalValue(request);
    }
    if (const auto counter = CounterOf(sub, diagnostics)) {
        return BuildDiagnosticsAnswer({sub, {*counter}});
    }
    switch (sub) {
        case kReturnDiagnosticRegister:
            return BuildDiagnosticsAnswer({sub, {diagnostics.DiagnosticRegister()}});
        case kForceListenOnly:
            diagnostics.SetListenOnly(true);
            return std::nullopt;
        case kClearCounters:
            diagnostics.ClearCounters();
            return echo;
        case kClearOverrun:
            diagnostics.ClearOverrun();
            return echo;
        default:
            return IllegalValue(request);
    }
}

std::string WordsText(const Words& words) {
    std::string text;
    for (const std::uint16_t word : words) {
        text += (text.empty() ? "" : " ") + Hex16(word);
    }
    return text;
}

void Describe(Role role, PduView pdu, const Description* /*request*/, Description& out) {
    const auto read = role == Role::Request ? ReadDiagnosticsRequest(pdu, &out.malformed)
                                            : ReadDiagnosticsAnswer(pdu, &out.malformed);
    if (!read) {
        return;
    }
    out.fields.push_back({"sub-function", std::to_string(read->subFunction)});
    if (role == Role::Answer && IsCounter(read->subFunction) && read->data.size() == 1) {
        out.fields.push_back({"count", std::to_string(read->data[0])});
    } else if (!read->data.empty()) {
        out.fields.push_back({"data", WordsText(read->data)});
    }
}

}  // namespace

Bytes BuildDiagnosticsRequest(const DiagnosticsPdu& request) {
    return BuildPdu(request);
}

std::optional<DiagnosticsPdu> ReadDiagnosticsRequest(PduView pdu, std::string* why) {
    return ReadPdu(pdu, why);
}

Bytes BuildDiagnosticsAnswer(const DiagnosticsPdu& answer) {
    return BuildPdu(answer);
}

std::optional<DiagnosticsPdu> ReadDiagnosticsAnswer(PduView pdu, std::string* why) {
    return ReadPdu(pdu, why);
}

bool IsRestartCommunications(PduView request) {
    if (request.empty() || request[0] != kDiagnostics) {
        return false;
    }
    const auto asked = ReadDiagnosticsRequest(request);
    return asked && asked->subFunction == kRestartCommunications;
}

const FunctionEntry kDiagnosticsFunction{kDiagnostics, "Diagnostics", Length, Serve, Describe};

}  // namespace protocol
