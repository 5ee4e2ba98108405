#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/ExceptionCode.h"
#include "tools/profile/Point.h"

namespace profile {

// One point for each address of the widest table is as many as a device can usefully have.
constexpr std::size_t kMaxPoints = 65536;

// What the device says of itself; each text, when given, is 1 to kMaxIdentityText printable
// ASCII characters. serverId is the text Report Server ID answers with.
struct Identity {
    std::optional<std::string> vendor, product, revision, vendorUrl, productName, modelName,
        userApplicationName, serverId;
};

// One kind of Modbus device: who it is and its named points, in file order.
struct DeviceProfile {
    std::string path;
    Identity identity;
    std::vector<Point> points;
    // The answer to a write of a point that is not writable.
    std::uint8_t readOnlyException = protocol::kIllegalDataAddress;
    // The unit id pollers use when none is given.
    std::optional<int> unit;

    // Walks the points: callers that look up often keep their own index.
    const Point* Find(std::string_view name) const;
};

}  // namespace profile
