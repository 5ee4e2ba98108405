#include "tools/poll/MapPlan.h"

#include <algorithm>
#include <cstddef>

#include "protocol/FunctionCode.h"
#include "protocol/Limits.h"

namespace poll {

using profile::Point;
using profile::PointTable;

namespace {

std::uint32_t EndOf(const Point& point) {
    return std::uint32_t{point.address} + static_cast<std::uint32_t>(point.Registers());
}

bool InAddressOrder(const Point* a, const Point* b) {
    if (a->table != b->table) {
        return a->table < b->table;
    }
    return a->address != b->address ? a->address < b->address : a->line < b->line;
}

MapRequest Begin(const Point& point) {
    return {point.table, point.address, static_cast<std::uint16_t>(point.Registers()), {&point}};
}

}  // namespace

std::uint8_t ReadFunction(PointTable table) {
    switch (table) {
        case PointTable::Coil:
            return protocol::kReadCoils;
        case PointTable::DiscreteInput:
            return protocol::kReadDiscreteInputs;
        case PointTable::Holding:
            return protocol::kReadHoldingRegisters;
        case PointTable::Input:
        default:
            return protocol::kReadInputRegisters;
    }
}

std::uint16_t ReadLimit(PointTable table) {
    return table == PointTable::Coil || table == PointTable::DiscreteInput
               ? protocol::kMaxReadBits
               : protocol::kMaxReadRegisters;
}

std::vector<MapRequest> JoinReads(std::vector<const Point*> points, std::uint16_t maxGap) {
    std::stable_sort(points.begin(), points.end(), InAddressOrder);
    std::vector<MapRequest> requests;
    for (const Point* point : points) {
        if (!requests.empty()) {
            MapRequest& last = requests.back();
            const std::uint32_t end = std::uint32_t{last.address} + last.count;
            const std::uint32_t newEnd = std::max(end, EndOf(*point));
            // Sorted by address, a point starts at or past the range's start; one that starts
            // inside it (a bit field of a register already read) adds nothing to the gap.
            const std::uint32_t gap = point->address > end ? point->address - end : 0;
            if (point->table == last.table && gap <= maxGap &&
                newEnd - last.address <= ReadLimit(last.table)) {
                last.count = static_cast<std::uint16_t>(newEnd - last.address);
                last.points.push_back(point);
                continue;
            }
        }
        requests.push_back(Begin(*point));
    }
    return requests;
}

std::vector<MapRequest> SplitRead(const MapRequest& request) {
    std::vector<MapRequest> reads;
    for (const Point* point : request.points) {
        // Bit fields of one register stay one read: the register is there or it is not.
        if (!reads.empty() && reads.back().address == point->address) {
            reads.back().points.push_back(point);
            continue;
        }
        reads.push_back(Begin(*point));
    }
    return reads;
}

std::string FormatMapRequest(std::uint8_t slave, const MapRequest& request) {
    const bool bits =
        request.table == PointTable::Coil || request.table == PointTable::DiscreteInput;
    std::string out = "slave " + std::to_string(slave) + ": function " +
                      std::to_string(ReadFunction(request.table)) + " from " +
                      std::to_string(request.address) + ", " + std::to_string(request.count) +
                      (bits ? (request.count == 1 ? " bit:" : " bits:")
                            : (request.count == 1 ? " register:" : " registers:"));
    for (const Point* point : request.points) {
        out += ' ' + point->name;
    }
    return out + '\n';
}

}  // namespace poll
