#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tools/common/StopRequest.h"
#include "tools/poll/MapPlan.h"
#include "tools/poll/PointRecord.h"

class CModbus;

namespace poll {

// What one slave's reads of a poll gave: a record for each point, and each request's result.
struct MapPoll {
    std::vector<PointRecord> points;
    std::vector<std::uint16_t> results;  // one per request sent, in order
    std::vector<double> exchangeMs;      // the same requests' times
    // Joined reads the slave refused, which were then split, as a user is told of them.
    std::vector<std::string> splits;
};

// Reads a map's points from each slave in the fewest requests. A slave that refuses a joined
// read as an illegal address (a hole in the range the profile does not know of) is asked
// again point by point for that range, at once, and from then on for the rest of the run.
class CMapReader {
public:
    CMapReader(const std::vector<const profile::Point*>& points, std::uint16_t maxGap,
               std::uint32_t retries);

    // The reads a slave gets now.
    const std::vector<MapRequest>& Plan(std::uint8_t slave) const;

    MapPoll Read(CModbus& master, std::uint8_t slave, CStopRequest* stop = nullptr);

private:
    std::vector<MapRequest>& PlanOf(std::uint8_t slave);
    std::uint16_t Exchange(CModbus& master, std::uint8_t slave, const MapRequest& request,
                           std::vector<std::uint16_t>& values, CStopRequest* stop, double& ms);

    std::vector<MapRequest> m_joined;
    std::map<const profile::Point*, std::size_t> m_order;     // as the points were named
    std::map<std::uint8_t, std::vector<MapRequest>> m_split;  // slaves that refused a range
    std::uint32_t m_retries;
};

}  // namespace poll
