#pragma once

#include <optional>
#include <string>

#include "protocol/FunctionTable.h"

namespace protocol {

// Function 8's sub-functions, as the application protocol numbers them.
enum DiagnosticsSubFunction : std::uint16_t {
    kReturnQueryData = 0,
    kRestartCommunications = 1,
    kReturnDiagnosticRegister = 2,
    kChangeAsciiDelimiter = 3,
    kForceListenOnly = 4,
    kClearCounters = 10,
    kBusMessageCount = 11,
    kBusCommErrorCount = 12,
    kBusExceptionCount = 13,
    kServerMessageCount = 14,
    kServerNoResponseCount = 15,
    kServerNakCount = 16,
    kServerBusyCount = 17,
    kBusOverrunCount = 18,
    kClearOverrun = 20,
};

// Sub-function 1's data: clear the event log as well, or keep it.
constexpr std::uint16_t kRestartClearLog = 0xFF00;
constexpr std::uint16_t kRestartKeepLog = 0x0000;

// Function 8: a sub-function, then its data words, request and answer alike. Only
// sub-function 0 carries other than one word; it echoes whatever it was sent.
struct DiagnosticsPdu {
    std::uint16_t subFunction = 0;
    Words data;
};

Bytes BuildDiagnosticsRequest(const DiagnosticsPdu& request);
// The sub-function and whole data words, any number of them.
std::optional<DiagnosticsPdu> ReadDiagnosticsRequest(PduView pdu, std::string* why = nullptr);

Bytes BuildDiagnosticsAnswer(const DiagnosticsPdu& answer);
std::optional<DiagnosticsPdu> ReadDiagnosticsAnswer(PduView pdu, std::string* why = nullptr);

// Sub-function 1, the one request a device in listen-only mode carries out.
bool IsRestartCommunications(PduView request);

extern const FunctionEntry kDiagnosticsFunction;

}  // namespace protocol
