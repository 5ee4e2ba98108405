#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

#include "protocol/Pdu.h"

namespace protocol {

// A serial device's communication counters, diagnostic register, event log and listen-only
// mode, kept as the application protocol describes them, and served by functions 8, 11 and
// 12. The device's line layer reports what it hears and sends; Serve reads and clears.
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

    // A frame was heard whose check failed, or whose characters overran the device.
    void CheckError();
    void CharacterOverrun();
    // A frame with a good check: addressed to this device (or broadcast), or to another.
    void MessageHeard(bool forThisDevice, bool broadcast);
    // The device answered a request addressed to it (or broadcast, with no answer): the answer
    // PDU, none when it stayed silent. function is the request's.
    void Answered(std::uint8_t function, const std::optional<Bytes>& answer);

    bool ListenOnly() const { return m_bListenOnly; }
    void SetListenOnly(bool on);
    // Sub-function 1: leaves listen-only mode, clears the counters and, when asked, the log.
    void RestartCommunications(bool clearLog);
    // Sub-function 10.
    void ClearCounters();
    // Sub-function 20.
    void ClearOverrun();

    const Counters& Count() const { return m_counters; }
    std::uint16_t DiagnosticRegister() const { return m_wDiagnosticRegister; }
    // Function 11's event counter: successful completions, not counting 11 and 12 themselves.
    std::uint16_t EventCount() const { return m_wEventCount; }
    // Function 12's events, newest first, at most kEventLogSize.
    const std::deque<std::uint8_t>& Events() const { return m_events; }
    // Function 11's and 12's status word: 0xFFFF while a command is still in progress.
    std::uint16_t Status() const { return 0; }

private:
    void Log(std::uint8_t event);

    Counters m_counters;
    std::uint16_t m_wDiagnosticRegister = 0;
    std::uint16_t m_wEventCount = 0;
    std::deque<std::uint8_t> m_events;
    bool m_bListenOnly = false;
};

}  // namespace protocol
