#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/profile/DeviceProfile.h"
#include "tools/slave/AnswerFaults.h"
#include "tools/slave/SlaveOptions.h"

namespace slave {

// One [[unit]] of a simulator file: the ids it stands for (each its own device, with its own
// data), the profile they serve and what this unit does differently.
struct UnitPlan {
    std::vector<int> ids;
    std::string profilePath;     // resolved against the file's folder; empty: the table device
    profile::Identity identity;  // overrides the profile's
    FaultSettings faults;
    std::vector<int> refused;
    int line = 0;
};

// A simulator file: the options it sets (line settings, ports, bind address, the files and
// roles of Modbus/TCP Security) and its units.
struct SimulatorFile {
    SlaveOptions options;
    std::vector<UnitPlan> units;
};

// nullopt with "FILE:LINE: reason" in error for the first thing wrong: a file that is not
// TOML, an unknown key, an id outside 1-247 or given twice, a bad port or setting, a role
// without its functions or with addresses or an exception out of range.
std::optional<SimulatorFile> ParseSimulatorFile(std::string_view text, const std::string& path,
                                                std::string& error);
std::optional<SimulatorFile> LoadSimulatorFile(const std::string& path, std::string& error);

}  // namespace slave
