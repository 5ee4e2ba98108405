#pragma once

#include <cstdint>

#include "modbus/Modbus.h"
#include "tools/poll/PollOptions.h"
#include "tools/poll/PollRecord.h"

namespace poll {

// One exchange of the functions beyond the tables' reads and writes (7, 8, 11, 12, 20 to 24)
// or of a raw PDU, as the options ask it; what came back goes into the record's values and
// fields. Returns the result code.
std::uint16_t AskOtherFunction(CModbus& master, const PollOptions& options, std::uint8_t slave,
                               PollRecord& record);

}  // namespace poll
