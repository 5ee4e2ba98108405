#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tools/common/OutputFormat.h"
#include "tools/common/TypedValues.h"
#include "tools/monitor/BusDecoder.h"
#include "tools/monitor/MonitorRecord.h"

namespace monitor {

// How a record is printed: the format and how its registers read.
struct RecordStyle {
    poll::OutputFormat format = poll::OutputFormat::Table;
    poll::ValueType type = poll::ValueType::Uint16;
    poll::WordOrder order = poll::WordOrder::Abcd;
};

// The CSV header line, or nothing for the other formats (newline included).
std::string FormatMonitorHeader(poll::OutputFormat format);
// One record, newline included; wall is its time on the system clock.
std::string FormatMonitorRecord(const RecordStyle& style, const MonitorRecord& record,
                                std::chrono::system_clock::time_point wall);
// The frame's bytes as shown: an ASCII frame as its text after ':', anything else in hex.
std::string ShownBytes(const MonitorRecord& record);
// "request", "answer", "exception", "noise".
const char* KindName(RecordKind kind);

// The closing lines: per slave its counts and answer times, then the noise.
std::string FormatTallies(const std::string& device, std::uint64_t records,
                          const std::vector<std::pair<std::uint8_t, SlaveTally>>& tallies,
                          std::uint64_t noiseBytes);

}  // namespace monitor
