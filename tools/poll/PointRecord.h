#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/common/OutputFormat.h"
#include "tools/profile/Point.h"

namespace poll {

// One point of a map as it is printed: its value in engineering units, or the failure of the
// request that should have carried it.
struct PointRecord {
    std::chrono::system_clock::time_point time;
    std::uint8_t slave = 1;
    const profile::Point* point = nullptr;
    std::string value;               // as DecodePoint writes it; empty on failure
    std::vector<std::uint16_t> raw;  // the point's registers (a bit field's whole register)
    std::uint16_t code = 0;
    std::string text;        // the result
    bool nameSlave = false;  // a table line says the slave when a poll asks several
};

// The CSV header of point records, or nothing for the other formats.
std::string FormatPointHeader(OutputFormat format);
// A point in the format, newline included.
std::string FormatPointRecord(OutputFormat format, const PointRecord& record);
// The record as one JSON object, without a newline: a JSON line, or a broker's message.
std::string PointJson(const PointRecord& record);

}  // namespace poll
