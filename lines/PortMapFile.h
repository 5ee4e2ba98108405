#pragma once

#include <optional>
#include <string>

// The value of `key` (e.g. "COM3") in the section "Port Map" of the settings file, read from
// the file anew at each call so that an edit takes effect at the next open. Trimmed; nullopt
// when missing or empty.
std::optional<std::string> ReadPortMapValue(const std::string& key);
