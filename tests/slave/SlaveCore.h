#pragma once

#include <chrono>
#include <string>

#include "tools/slave/AsciiFramer.h"
#include "tools/slave/RtuFramer.h"
#include "tools/slave/SlaveDevice.h"

namespace slave {

// The simulator's core behind its framing, on a clock of the test's own: the bytes a master
// puts on the line in, the bytes the simulator would write back out. Framing, checks, the
// device's role and the protocol library's serving are the simulator's own; only the line and
// the faults are left out.
class CSlaveCore {
public:
    explicit CSlaveCore(const SlaveOptions& options = {});

    // The message (address, function, data) in the options' framing with a good check; the
    // answer message without its check, empty when none came.
    Bytes Ask(const Bytes& message);
    // Raw line bytes, one frame's worth; the answer's line bytes, empty when none came.
    Bytes Send(const Bytes& wire);

    CRegisterBank& Bank() { return m_bank; }
    CSlaveDataModel& Model() { return m_model; }
    CSlaveDevice& Device() { return m_device; }
    // What the last frame came to.
    SlaveReply::Kind LastKind() const { return m_lastKind; }

private:
    Bytes Answer(const DecodedFrame& frame);

    SlaveOptions m_options;
    CRegisterBank m_bank;
    CSlaveDataModel m_model;
    CSlaveDevice m_device;
    CRtuFramer m_rtu;
    CAsciiFramer m_ascii;
    CRtuFramer::Clock::time_point m_now{};
    SlaveReply::Kind m_lastKind = SlaveReply::Kind::Short;
};

}  // namespace slave
