#pragma once

#include <optional>
#include <string>

#include "tools/slave/AnswerFaults.h"
#include "tools/slave/FrameCheck.h"
#include "tools/slave/SlaveOptions.h"

namespace slave {

// An answer in a line's framing, as it goes out and as the log shows it.
struct LineAnswer {
    Bytes wire;
    Bytes logBytes;                        // ASCII: the decoded bytes, LRC included
    std::optional<std::string> asciiText;  // ASCII: the text between ':' and CR LF
};

// The answer message (address, function, data) framed with the faults it carries.
LineAnswer EncodeLineAnswer(const SlaveOptions& options, Bytes message, const AnswerFault& fault);

}  // namespace slave
