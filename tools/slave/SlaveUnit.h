#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/slave/AnswerFaults.h"
#include "tools/slave/SimulatedModel.h"
#include "tools/slave/SlaveDevice.h"

namespace slave {

// One simulated device: the addresses it answers, its own data, counters and identity, and its
// own faults, those it starts with and those switched on while it runs.
class CSlaveUnit {
public:
    // described says where its data comes from, for the control's answers.
    CSlaveUnit(std::unique_ptr<ISimulatedModel> model, std::vector<int> ids, FaultSettings faults,
               std::string described);

    ISimulatedModel& Model() { return *m_model; }
    CSlaveDevice& Device() { return m_device; }
    CAnswerFaults& Faults() { return m_faults; }
    const std::string& Described() const { return m_strDescribed; }

    // Requests of function get exception code, for the next `answers` of them or until cleared.
    void SwitchException(std::uint8_t function, std::uint8_t code, std::optional<long> answers);
    // The exception a request of function gets now, counting it against the switch.
    std::optional<std::uint8_t> TakeException(std::uint8_t function);
    // Every fault switched on while running ends; the starting ones stay.
    void ClearSwitched();

private:
    struct SwitchedException {
        std::uint8_t function = 0;
        std::uint8_t code = 0;
        std::optional<long> answers;
    };

    std::unique_ptr<ISimulatedModel> m_model;
    CSlaveDevice m_device;
    CAnswerFaults m_faults;
    std::string m_strDescribed;
    std::vector<SwitchedException> m_exceptions;
};

}  // namespace slave
