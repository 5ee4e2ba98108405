#pragma once

#include <cstdio>
#include <functional>
#include <vector>

#include "tools/common/StopRequest.h"
#include "tools/poll/MapReader.h"
#include "tools/poll/PollOptions.h"
#include "tools/poll/PollRunner.h"

class CModbus;

namespace poll {

// Each poll's point records, every slave's, once they are printed.
using PointsOut = std::function<void(const std::vector<PointRecord>&)>;

// Polls the map's points as RunPolls polls registers: at the interval, every slave in turn,
// each point printed in the format, a lost line dropped and opened again. The summary counts
// requests.
PollSummary RunMapPolls(CModbus& master, const PollOptions& options, CMapReader& reader,
                        std::FILE* out, CStopRequest& stop, const LineKeeper* keeper = nullptr,
                        const PointsOut& publish = {});

}  // namespace poll
