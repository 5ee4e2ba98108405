#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "tools/profile/DeviceProfile.h"

namespace profile {

// A profile from a vendor's register table as CSV: a header naming the columns (name, table,
// address; type, order, scale, offset, unit, writable, length, bit, width), in any order and
// case, then a point a line. '#' lines and empty lines are skipped; ',' or ';' separates, as
// the header shows, and with ';' scale and offset may have a decimal comma. Table and type
// names are taken in any case. No identity and no motion. nullopt with "FILE:LINE: reason" in
// error.
std::optional<DeviceProfile> ParseRegisterList(std::string_view text, const std::string& path,
                                               std::string& error);

}  // namespace profile
