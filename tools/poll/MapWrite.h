#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/Pdu.h"
#include "tools/poll/PointRecord.h"
#include "tools/profile/DeviceProfile.h"

class CModbus;

namespace poll {

// A value to write, in the point's registers: a bit field's value unshifted, as EncodePoint
// gives it.
struct PointWrite {
    const profile::Point* point = nullptr;
    protocol::Words words;
};

// "NAME=VALUE[,NAME=VALUE...]" checked against the profile: each name a writable point, named
// once, each value one that fits it. A comma inside a value stays its own when the text after
// it holds no '=' ("label=a,b"). nullopt with the reason in `why`.
std::optional<std::vector<PointWrite>> ParseSetList(const profile::DeviceProfile& profile,
                                                    std::string_view list, std::string& why);

// Writes the values with one request per run of neighbouring registers or coils (16 or 15, or
// 6 or 5 for a single one unless `multiple`); a register holding bit fields is read first, so
// that its other bits keep their state. A record for each point, in the order given.
std::vector<PointRecord> WritePoints(CModbus& master, std::uint8_t slave,
                                     const std::vector<PointWrite>& writes, bool multiple,
                                     std::uint32_t retries);

}  // namespace poll
