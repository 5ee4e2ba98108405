#pragma once

#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

#include "tools/profile/Point.h"

namespace profile {

// The first two points sharing an address of one table, the one later in the file second;
// two bit fields of one register share it only where their bits do. Sorts, so a whole
// table of points is checked in n log n.
std::optional<std::pair<std::size_t, std::size_t>> FindOverlap(const std::vector<Point>& points);

}  // namespace profile
