#pragma once

#include <optional>
#include <string>

#include "tools/slave/SimulatorFile.h"
#include "tools/slave/SlaveOptions.h"
#include "tools/slave/SlaveUnits.h"

namespace slave {

// The units a simulator file names, each id a device of its own, with every profile loaded
// (once for the ids that share it). The options are the file's with the command line's over
// them: their faults and refusals apply to every unit. nullopt with the reason when a profile
// does not load; nothing is built then.
std::optional<Units> BuildUnits(const SimulatorFile& file, const SlaveOptions& options,
                                std::string& error);

}  // namespace slave
