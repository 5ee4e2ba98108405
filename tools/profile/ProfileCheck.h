#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/Limits.h"
#include "tools/profile/DeviceProfile.h"

namespace profile {

constexpr std::size_t kMaxNameLength = 64;
// A string a master reads in one request.
constexpr std::size_t kMaxStringLength = 2 * std::size_t{protocol::kMaxReadRegisters};
// One identification object with the 43/14 answer's eight bytes before its text fits one PDU.
constexpr std::size_t kMaxIdentityText = protocol::kMaxPduData - 8;
constexpr std::uint16_t kLastAddress = std::numeric_limits<std::uint16_t>::max();

// The type a profile names, for a point whose table is already set: "bool" for a coil or
// discrete input (stored as Uint16), a register type otherwise; nullopt name is the default.
// False with the reason in `why`.
bool SetPointType(Point& point, std::optional<std::string_view> name, std::string& why);

// Why a text may not be an identification object; empty when it may.
std::string IdentityTextProblem(std::string_view text);

// Why one point cannot be, on its own; empty when it can.
std::string PointProblem(const Point& point);

// What both formats must hold, checked in file order: each point, then the names, copies and
// overlaps between them, then the identity and device settings. False with the first thing
// wrong as "FILE:LINE: reason".
bool CheckProfile(const DeviceProfile& profile, std::string& error);

}  // namespace profile
