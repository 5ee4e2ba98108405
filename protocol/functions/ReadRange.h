#pragma once

#include <cstdint>

namespace protocol {

// What the reads of functions 1 to 4 (and 23's read) ask for: a start and a count.
struct ReadRange {
    std::uint16_t start = 0;
    std::uint16_t count = 0;
};

}  // namespace protocol
