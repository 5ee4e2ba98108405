#pragma once

#include <vector>

#include "protocol/Pdu.h"
#include "tools/slave/RoleTable.h"

namespace slave {

// The addresses a request PDU names, read by its function's own reader: one span for functions
// 1 to 6, 15, 16, 22 and 24, the read's and the write's for 23. None for a function that names
// no address, nor for a request its function's rules forbid: the device refuses that one itself
// and touches nothing.
std::vector<AddressSpan> RequestSpans(protocol::PduView request);

}  // namespace slave
