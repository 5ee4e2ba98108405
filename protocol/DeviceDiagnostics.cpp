#include "protocol/DeviceDiagnostics.h"

#include <utility>

#include "protocol/Limits.h"

namespace protocol {
namespace {

// Where an exception answer carries its code.
constexpr std::size_t kExceptionCodeAt = 1;

// The send event's bit for an exception answer that went out.
std::uint8_t ExceptionBit(std::uint8_t code) {
    switch (code) {
        case kIllegalFunction:
        case kIllegalDataAddress:
        case kIllegalDataValue:
            return kSendReadException;
        case kServerDeviceFailure:
            return kSendAbortException;
        case kAcknowledge:
        case kServerDeviceBusy:
            return kSendBusyException;
        case kNegativeAcknowledge:
            return kSendNakException;
        default:
            return 0;
    }
}

// Reading the event counter or log is no completion of the device's own work.
bool CountsAsEvent(std::uint8_t function) {
    return function != kGetCommEventCounter && function != kGetCommEventLog;
}

}  // namespace

void CDeviceDiagnostics::CheckError() {
    ++m_state.counters.busCheckErrors;
    Log(ReceiveEvent(kReceiveCommError));
}

void CDeviceDiagnostics::CharacterOverrun() {
    ++m_state.counters.characterOverruns;
    m_state.diagnosticRegister |= kOverrunFlag;
    Log(ReceiveEvent(kReceiveOverrun));
}

void CDeviceDiagnostics::MessageHeard(bool forThisDevice, bool broadcast) {
    ++m_state.counters.busMessages;
    if (!forThisDevice && !broadcast) {
        return;
    }
    ++m_state.counters.serverMessages;
    Log(ReceiveEvent(broadcast ? kReceiveBroadcast : 0));
}

void CDeviceDiagnostics::Answered(std::uint8_t function, const std::optional<Bytes>& answer,
                                  bool broadcast) {
    const bool sent = answer.has_value() && !broadcast;
    const bool refused = answer.has_value() && IsException(*answer);
    std::uint8_t event = kSendEvent | (m_state.listenOnly ? kSendListenOnly : 0);
    if (!sent) {
        ++m_state.counters.noResponses;
    }
    if (answer.has_value() && !refused && CountsAsEvent(function)) {
        ++m_state.eventCount;
    }
    if (sent && refused && answer->size() > kExceptionCodeAt) {
        const std::uint8_t code = (*answer)[kExceptionCodeAt];
        ++m_state.counters.exceptions;
        if (code == kNegativeAcknowledge) {
            ++m_state.counters.naks;
        }
        if (code == kServerDeviceBusy) {
            ++m_state.counters.busy;
        }
        event |= ExceptionBit(code);
    }
    Log(event);
}

void CDeviceDiagnostics::SetListenOnly(bool on) {
    if (on && !m_state.listenOnly) {
        Log(kEnteredListenOnlyEvent);
    }
    m_state.listenOnly = on;
}

void CDeviceDiagnostics::RestartCommunications(bool clearLog) {
    // The register tells of the device rather than of its line, and outlives a port restart.
    m_state.counters = {};
    m_state.eventCount = 0;
    m_state.listenOnly = false;
    if (clearLog) {
        m_state.events.clear();
    }
    Log(kRestartEvent);
}

void CDeviceDiagnostics::ClearCounters() {
    m_state.counters = {};
    m_state.eventCount = 0;
    m_state.diagnosticRegister = 0;
}

void CDeviceDiagnostics::ClearOverrun() {
    m_state.counters.characterOverruns = 0;
    m_state.diagnosticRegister &= static_cast<std::uint16_t>(~kOverrunFlag);
}

void CDeviceDiagnostics::Restore(State state) {
    m_state = std::move(state);
    while (m_state.events.size() > kEventLogSize) {
        m_state.events.pop_back();
    }
}

void CDeviceDiagnostics::Log(std::uint8_t event) {
    m_state.events.push_front(event);
    if (m_state.events.size() > kEventLogSize) {
        m_state.events.pop_back();
    }
}

std::uint8_t CDeviceDiagnostics::ReceiveEvent(std::uint8_t bits) const {
    return kReceiveEvent | bits | (m_state.listenOnly ? kReceiveListenOnly : 0);
}

}  // namespace protocol
