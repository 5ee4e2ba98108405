#pragma once

#include <functional>
#include <string>

#include "tools/common/StopRequest.h"
#include "tools/poll/MapRun.h"
#include "tools/poll/PollOptions.h"

class CLocalModbus;

namespace poll {

// What a map run publishes beside standard output; Start false ends the run before the line
// opens, with the reason.
struct MapPublishing {
    std::function<bool(std::string& why)> start;
    PointsOut points;
    std::function<std::string()> finish;  // the closing lines for standard error
};

// vornak-poll --map: loads the profile, and prints the plan, writes --set or polls the points.
// The exit status.
int RunMapProgram(CLocalModbus& master, const PollOptions& options, CStopRequest& stop,
                  const MapPublishing* publishing = nullptr);

}  // namespace poll
