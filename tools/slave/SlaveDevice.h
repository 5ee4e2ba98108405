#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "tools/slave/FrameCheck.h"
#include "tools/slave/SimulatedModel.h"

namespace slave {

struct SlaveReply {
    enum class Kind {
        Answer,      // answer holds the message to send back
        Broadcast,   // address 0: executed, never answered
        OtherId,     // meant for another slave: ignored
        Short,       // too short to carry an address and a function: ignored
        Unanswered,  // served without an answer: listen-only mode, or a request that asks none
        Misheard,    // a frame it could not use: counted, not served
    };
    Kind kind = Kind::Short;
    Bytes answer;  // address, function and data, without the check
};

// The simulator's part of a device on the line: which addresses it answers, which functions it
// refuses, and what it tells the diagnostics of the frames it could not use. What a request
// does is the protocol library's, served against the data model. Knows nothing of framing or
// time, so every rule is testable on its own.
class CSlaveDevice {
public:
    // Every address in ids answers, from the one model, as the one device.
    CSlaveDevice(ISimulatedModel& model, std::vector<int> ids)
        : m_model(model), m_ids(std::move(ids)) {}

    // These functions get exception 1, illegal function, as from a device without them.
    void Refuse(std::vector<int> functions) { m_refused = std::move(functions); }

    // A frame as the framing cut and checked it: served when its check passed, else counted.
    SlaveReply Hear(const DecodedFrame& frame, std::uint64_t elapsedMs);
    // One request message (address, function, data) whose check passed. With exception, the
    // request gets that exception instead of being served, as from a device that fails it.
    SlaveReply Handle(const Bytes& message, std::uint64_t elapsedMs,
                      std::optional<std::uint8_t> exception = std::nullopt);
    // A frame the device could not use: a failed check, or more characters than a frame holds.
    void Misheard(FrameStatus status);
    // A frame with a good check for an address no unit of the simulator answers.
    void HeardOther() { m_model.Diagnostics().MessageHeard(false, false); }
    bool Answers(int address) const;
    const std::vector<int>& Ids() const { return m_ids; }

private:
    std::optional<Bytes> Refused(std::uint8_t function, std::uint8_t exception, bool broadcast);

    ISimulatedModel& m_model;
    std::vector<int> m_ids;
    std::vector<int> m_refused;
};

}  // namespace slave
