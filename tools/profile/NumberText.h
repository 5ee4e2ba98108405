#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace profile {

// A decimal number as profiles and users write it: "230.5", "-1e3", "+2", and also "NaN",
// "Infinity" and "-Infinity" as the register texts print them. Nothing else, no trailing junk.
std::optional<double> ParseNumber(std::string_view text);

// The shortest text that reads back to the same double, in the spellings ParseNumber takes.
std::string NumberText(double value);

}  // namespace profile
