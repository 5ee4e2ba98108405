#include "tools/slave/SlaveUnit.h"

#include <algorithm>

namespace slave {

CSlaveUnit::CSlaveUnit(std::unique_ptr<ISimulatedModel> model, std::vector<int> ids,
                       FaultSettings faults, std::string described)
    : m_model(std::move(model)),
      m_device(*m_model, std::move(ids)),
      m_faults(std::move(faults)),
      m_strDescribed(std::move(described)) {}

void CSlaveUnit::SwitchException(std::uint8_t function, std::uint8_t code,
                                 std::optional<long> answers) {
    std::erase_if(m_exceptions,
                  [function](const SwitchedException& e) { return e.function == function; });
    m_exceptions.push_back({function, code, answers});
}

std::optional<std::uint8_t> CSlaveUnit::TakeException(std::uint8_t function) {
    const auto it =
        std::find_if(m_exceptions.begin(), m_exceptions.end(),
                     [function](const SwitchedException& e) { return e.function == function; });
    if (it == m_exceptions.end()) {
        return std::nullopt;
    }
    const std::uint8_t code = it->code;
    if (it->answers && --*it->answers <= 0) {
        m_exceptions.erase(it);
    }
    return code;
}

void CSlaveUnit::ClearSwitched() {
    m_exceptions.clear();
    m_faults.ClearSwitched();
}

}  // namespace slave
