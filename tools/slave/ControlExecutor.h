#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "tools/slave/ControlCommand.h"
#include "tools/slave/SlaveLog.h"
#include "tools/slave/SlaveUnits.h"

namespace slave {

// Carries out the control socket's commands on the running units, one answer line each:
// "ok ..." or "error: ...". A command that fails changes nothing.
class CControlExecutor {
public:
    // reload builds the units afresh from the files, nullopt with the reason when they do not
    // load; the running units stay then.
    using Reload = std::function<std::optional<Units>(std::string& error)>;

    CControlExecutor(CSlaveUnits& units, Reload reload, CSlaveLog& log)
        : m_units(units), m_reload(std::move(reload)), m_log(log) {}

    std::string Execute(std::string_view line);

private:
    std::string Run(const ControlCommand& command);
    std::string OnUnit(const ControlCommand& command, CSlaveUnit& unit, std::uint64_t elapsedMs);
    std::string SwitchFault(const ControlCommand& command, CSlaveUnit& unit);

    CSlaveUnits& m_units;
    Reload m_reload;
    CSlaveLog& m_log;
};

}  // namespace slave
