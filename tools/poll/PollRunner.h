#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "tools/poll/PollOptions.h"
#include "tools/poll/PollRecord.h"
#include "tools/poll/StopRequest.h"

class CModbus;

namespace poll {

struct PollSummary {
    std::uint32_t polls = 0;   // printed
    std::uint32_t failed = 0;  // of those, with a code other than 0
    std::string lastFailure;   // its text
    int outputError = 0;       // errno of the output's first failed write; the run ended there
};

// One request as the options say, on an open master.
PollRecord PollOnce(CModbus& master, const PollOptions& options);

// Polls at the interval (start to start; an overrun delays the next poll, it never bunches
// them) and prints each one, flushed, until the count is reached, the stop is requested or the
// output fails (polling on with nowhere to say what came back would only load the bus). An
// exchange that the stop cut short is not printed.
PollSummary RunPolls(CModbus& master, const PollOptions& options, std::FILE* out,
                     CStopRequest& stop);

}  // namespace poll
