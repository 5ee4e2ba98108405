#pragma once

#include <chrono>
#include <optional>

#include "tools/slave/AnswerFaults.h"
#include "tools/slave/RegisterBank.h"
#include "tools/slave/SlaveDataModel.h"
#include "tools/slave/SlaveDevice.h"
#include "tools/slave/SlaveLog.h"
#include "tools/slave/SlaveOptions.h"

namespace slave {

struct MbapAnswer {
    Bytes adu;
    bool corrupt = false;
    std::chrono::milliseconds delay{0};
};

// The device behind a Modbus TCP/UDP port: turns each whole request ADU into the answer ADU,
// with the faults asked for, and logs the request. Knows nothing of sockets.
//
// Without a gateway the unit id names nothing, so besides its --id list the device answers 0 and
// 255, the values masters send to "the device itself"; any other unit gets no answer, like a silent
// slave behind a gateway. The answer carries the request's transaction and unit id.
class CMbapResponder {
public:
    explicit CMbapResponder(const SlaveOptions& options, CSlaveLog& log);

    // nullopt when the request gets no answer (another unit, silent).
    std::optional<MbapAnswer> Handle(const Bytes& adu);

private:
    const SlaveOptions& m_options;
    CSlaveLog& m_log;
    CRegisterBank m_bank;
    CSlaveDataModel m_model;
    CSlaveDevice m_device;
    CAnswerFaults m_faults;
    std::chrono::steady_clock::time_point m_start;
};

}  // namespace slave
