#include "tools/slave/FaultPlan.h"

namespace slave {

std::optional<CFaultPlan> CFaultPlan::Parse(std::string_view letters) {
    CFaultPlan plan;
    plan.m_faults.reserve(letters.size());
    for (const char letter : letters) {
        switch (letter) {
            case '.':
                plan.m_faults.push_back(Fault::None);
                break;
            case 'c':
                plan.m_faults.push_back(Fault::Corrupt);
                break;
            case 's':
                plan.m_faults.push_back(Fault::Silent);
                break;
            case 'd':
                plan.m_faults.push_back(Fault::Delay);
                break;
            case 'w':
                plan.m_faults.push_back(Fault::WrongId);
                break;
            default:
                return std::nullopt;
        }
    }
    return plan;
}

Fault CFaultPlan::Next() {
    return m_nNext < m_faults.size() ? m_faults[m_nNext++] : Fault::None;
}

}  // namespace slave
