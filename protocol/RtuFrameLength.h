#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "protocol/FunctionTable.h"

namespace protocol {

// What an RTU frame's first bytes tell of its whole length, the address before the PDU and the
// CRC after it included: the PDU's length as its function gives it. An address above the last
// unit's is reserved and starts no frame.
PduLength RtuFrameLength(Role role, std::span<const std::uint8_t> have);

// Whether a message (address and PDU, without its check) is as long as the role's rules say.
bool RtuMessageFits(Role role, std::span<const std::uint8_t> message);

}  // namespace protocol
