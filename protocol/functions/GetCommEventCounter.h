#pragma once

#include <optional>
#include <string>

#include "protocol/FunctionTable.h"

namespace protocol {

// Function 11: the request is the code alone; the answer is the status word (kCommStatusBusy
// while a command is in progress) and the event counter.
struct CommEventCounter {
    std::uint16_t status = 0;
    std::uint16_t eventCount = 0;
};

Bytes BuildGetCommEventCounterRequest();
// The code and nothing after it.
bool ReadGetCommEventCounterRequest(PduView pdu, std::string* why = nullptr);

Bytes BuildGetCommEventCounterAnswer(CommEventCounter counter);
std::optional<CommEventCounter> ReadGetCommEventCounterAnswer(PduView pdu,
                                                              std::string* why = nullptr);

extern const FunctionEntry kGetCommEventCounterFunction;

}  // namespace protocol
