#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/profile/Point.h"

namespace poll {

// One read of a map: a range of one table and the points it carries, in address order.
struct MapRequest {
    profile::PointTable table = profile::PointTable::Holding;
    std::uint16_t address = 0;
    std::uint16_t count = 0;  // registers, or bits for coils and discrete inputs
    std::vector<const profile::Point*> points;

    bool Joined() const { return points.size() > 1; }
};

// The fewest reads that carry the points: points of one table whose gap to the range before
// them is at most maxGap registers (0: only neighbours) share a read, as long as it stays
// within one request's limit. Points sharing a register (bit fields) always share.
std::vector<MapRequest> JoinReads(std::vector<const profile::Point*> points, std::uint16_t maxGap);

// A joined read split into one read per point, in order.
std::vector<MapRequest> SplitRead(const MapRequest& request);

// The function that reads the table.
std::uint8_t ReadFunction(profile::PointTable table);

// Registers or bits one read of the table may ask.
std::uint16_t ReadLimit(profile::PointTable table);

// "slave 1: function 4 from 0, 14 registers: voltage_l1 voltage_l2 ...", newline included.
std::string FormatMapRequest(std::uint8_t slave, const MapRequest& request);

}  // namespace poll
