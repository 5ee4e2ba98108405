#pragma once

#include <cstddef>
#include <string>

namespace profile {

// No hand-written profile comes near this; a bigger file is a mistake, not a device.
constexpr std::size_t kMaxProfileBytes = 1048576;

// The whole text of a regular file of at most kMaxProfileBytes. A FIFO, device, directory or
// kernel pseudo-file (/proc, /sys) is refused before any read, so none can block or run on;
// false with "FILE: reason" in error.
bool ReadProfileFile(const std::string& path, std::string& text, std::string& error);

}  // namespace profile
