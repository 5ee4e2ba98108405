#pragma once

#include <optional>
#include <string>

#include "protocol/FunctionTable.h"

namespace protocol {

// Function 12: the request is the code alone; the answer is a byte count, the status word, the
// event counter, the bus message count, then up to kEventLogSize event bytes, newest first.
struct CommEventLog {
    std::uint16_t status = 0;
    std::uint16_t eventCount = 0;
    std::uint16_t messageCount = 0;
    Bytes events;
};

Bytes BuildGetCommEventLogRequest();
// The code and nothing after it.
bool ReadGetCommEventLogRequest(PduView pdu, std::string* why = nullptr);

// At most kEventLogSize events go; the rest are the oldest and are left out.
Bytes BuildGetCommEventLogAnswer(const CommEventLog& log);
// The byte count must match the answer's length and leave room for no more events than a log
// holds.
std::optional<CommEventLog> ReadGetCommEventLogAnswer(PduView pdu, std::string* why = nullptr);

extern const FunctionEntry kGetCommEventLogFunction;

}  // namespace protocol
