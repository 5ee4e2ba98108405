#pragma once

#include <cstdint>

namespace protocol {

// What functions 5 and 6 carry, request and echoed answer alike: an address and a value.
struct SingleWrite {
    std::uint16_t address = 0;
    std::uint16_t value = 0;
};

}  // namespace protocol
