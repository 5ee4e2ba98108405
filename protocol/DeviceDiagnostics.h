#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

#include "protocol/Pdu.h"

namespace protocol {

// Function 12's event bytes. A receive event has bit 7 set, a send event bit 6 (bit 7 clear);
// the other bits say what went with the message.
enum CommEvent : std::uint8_t {
    kRestartEvent = 0x00,  // the communications port restarted
    kEnteredListenOnlyEvent = 0x04,
    kReceiveEvent = 0x80,
    kReceiveCommError = 0x02,
    kReceiveOverrun = 0x10,
    kReceiveListenOnly = 0x20,
    kReceiveBroadcast = 0x40,
    kSendEvent = 0x40,
    kSendReadException = 0x01,   // exception 1 to 3 sent
    kSendAbortException = 0x02,  // exception 4
    kSendBusyException = 0x04,   // exception 5 or 6
    kSendNakException = 0x08,    // exception 7
    kSendWriteTimeout = 0x10,
    kSendListenOnly = 0x20,
};

// Functions 11's and 12's status word.
constexpr std::uint16_t kCommStatusReady = 0x0000;
constexpr std::uint16_t kCommStatusBusy = 0xFFFF;

// The bit of the diagnostic register this device sets on a character overrun, which
// sub-function 20 clears; the other bits are the device's own to give meaning to.
constexpr std::uint16_t kOverrunFlag = 0x0001;

// A serial device's communication counters, diagnostic register, event log and listen-only
// mode, kept as the application protocol describes them, and served by functions 8, 11 and
// 12. The device's line layer reports what it hears and sends; Serve reads and clears. Every
// counter wraps at 16 bits.
class CDeviceDiagnostics {
public:
    // Diagnostics' counters, as sub-functions 11 to 18 return them.
    struct Counters {
        std::uint16_t busMessages = 0;     // every frame with a good check, any address
        std::uint16_t busCheckErrors = 0;  // frames whose check failed
        std::uint16_t exceptions = 0;      // exception answers sent
        std::uint16_t serverMessages = 0;  // requests addressed to this device, broadcasts too
        std::uint16_t noResponses = 0;     // requests it did not answer, broadcasts too
        std::uint16_t naks = 0;            // exception 7 answers
        std::uint16_t busy = 0;            // exception 6 answers
        std::uint16_t characterOverruns = 0;
    };

    // Everything kept, for a device that starts from a given state rather than power-up.
    struct State {
        Counters counters;
        std::uint16_t diagnosticRegister = 0;
        std::uint16_t eventCount = 0;
        std::deque<std::uint8_t> events;  // newest first; cut to kEventLogSize
        bool listenOnly = false;
        bool busy = false;
    };

    // A frame was heard whose check failed, or whose characters overran the device. Both log
    // a receive event: the device cannot tell whom a broken frame was for.
    void CheckError();
    void CharacterOverrun();
    // A frame with a good check: addressed to this device (or broadcast), or to another.
    // Only the first kind logs a receive event.
    void MessageHeard(bool forThisDevice, bool broadcast);
    // The device finished a request addressed to it: what it made of the request (none when it
    // had nothing to say). A broadcast's answer is never sent, but its success still counts.
    void Answered(std::uint8_t function, const std::optional<Bytes>& answer,
                  bool broadcast = false);

    bool ListenOnly() const { return m_state.listenOnly; }
    // Entering the mode logs its event.
    void SetListenOnly(bool on);
    // Sub-function 1: leaves listen-only mode, clears the counters and, when asked, the log,
    // then logs the restart.
    void RestartCommunications(bool clearLog);
    // Sub-function 10: the counters, the event counter and the diagnostic register.
    void ClearCounters();
    // Sub-function 20.
    void ClearOverrun();
    // A command still in progress: functions 11 and 12 then report busy.
    void SetBusy(bool busy) { m_state.busy = busy; }
    void SetDiagnosticRegister(std::uint16_t value) { m_state.diagnosticRegister = value; }

    const Counters& Count() const { return m_state.counters; }
    std::uint16_t DiagnosticRegister() const { return m_state.diagnosticRegister; }
    // Function 11's event counter: successful completions, not counting 11 and 12 themselves.
    std::uint16_t EventCount() const { return m_state.eventCount; }
    // Function 12's events, newest first, at most kEventLogSize.
    const std::deque<std::uint8_t>& Events() const { return m_state.events; }
    // Function 11's and 12's status word: kCommStatusBusy while a command is in progress.
    std::uint16_t Status() const { return m_state.busy ? kCommStatusBusy : kCommStatusReady; }

    const State& Snapshot() const { return m_state; }
    void Restore(State state);

private:
    void Log(std::uint8_t event);
    std::uint8_t ReceiveEvent(std::uint8_t bits) const;

    State m_state;
};

}  // namespace protocol
