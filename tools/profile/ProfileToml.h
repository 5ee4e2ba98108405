#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "tools/profile/DeviceProfile.h"

namespace profile {

// A profile from TOML text: [identity], [device] and [[point]] tables. path only names the
// text in messages. nullopt with "FILE:LINE: reason" in error for the first thing wrong.
std::optional<DeviceProfile> ParseProfileToml(std::string_view text, const std::string& path,
                                              std::string& error);

}  // namespace profile
