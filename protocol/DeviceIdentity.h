#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace protocol {

// Read Device Identification's object ids: the basic three, then the regular ones.
enum DeviceObject : std::uint8_t {
    kVendorName = 0,
    kProductCode = 1,
    kMajorMinorRevision = 2,
    kVendorUrl = 3,
    kProductName = 4,
    kModelName = 5,
    kUserApplicationName = 6,
};

// What a device says of itself: the objects of function 43/14 by id, in id order, the basic
// three always among them, and function 17's run indicator and additional data.
struct DeviceIdentity {
    std::vector<std::pair<std::uint8_t, std::string>> objects;
    // Whether 43/14 also reads one object by its id (code 4), as its conformity level says.
    bool individualAccess = true;
    bool running = true;
    // Function 17's device-specific data after the run indicator.
    std::string serverData;
};

}  // namespace protocol
