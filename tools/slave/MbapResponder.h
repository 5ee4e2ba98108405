#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "tools/slave/SlaveLog.h"
#include "tools/slave/SlaveUnits.h"

namespace slave {

// An answer for a network client: an ADU, or a line's frame over --rtu-tcp.
struct MbapAnswer {
    Bytes adu;
    bool corrupt = false;
    std::chrono::milliseconds delay{0};
    std::optional<Bytes> logBytes;  // what the log shows when it is not the bytes sent
    std::optional<std::string> asciiText;
};

// The device behind a Modbus TCP/UDP port: turns each whole request ADU into the answer ADU,
// with the faults asked for, and logs the request. Knows nothing of sockets.
//
// Without a gateway the unit id names nothing, so besides its units the device answers 0 and
// 255, the values masters send to "the device itself"; any other unit gets no answer, like a silent
// slave behind a gateway. The answer carries the request's transaction and unit id.
class CMbapResponder {
public:
    CMbapResponder(CSlaveUnits& units, CSlaveLog& log) : m_units(units), m_log(log) {}

    // nullopt when the request gets no answer (another unit, silent).
    std::optional<MbapAnswer> Handle(const Bytes& adu);

private:
    CSlaveUnits& m_units;
    CSlaveLog& m_log;
};

}  // namespace slave
