#pragma once

#include <cstddef>
#include <cstdint>

#include "protocol/FunctionTable.h"

namespace monitor {

using FrameRole = protocol::Role;
// What a frame's first bytes tell of its whole RTU length, CRC included.
using FrameShape = protocol::PduLength;

// The shape of a request or an answer (exceptions included) from its first `have` bytes, as
// the function table gives its PDU's length.
FrameShape RtuShape(FrameRole role, const std::uint8_t* frame, std::size_t have);
// Which frames the monitor lets a silence end where no length does: those whose function gives
// none, and diagnostics' query data, whose echo is as long as the master made it.
bool SilenceMayEnd(const std::uint8_t* frame, std::size_t have);
// Whether a message (address to data, without its check) has the role's shape.
bool FitsShape(FrameRole role, const std::uint8_t* message, std::size_t length);

}  // namespace monitor
