#pragma once

#include <optional>
#include <string>

#include "tools/profile/DeviceProfile.h"

namespace profile {

// A profile from its file: a register list when the name ends in ".csv" (any case), TOML
// otherwise. nullopt with "FILE:LINE: reason" (or "FILE: reason") in error.
std::optional<DeviceProfile> LoadProfile(const std::string& path, std::string& error);

}  // namespace profile
