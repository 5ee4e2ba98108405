#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/common/OutputFormat.h"
#include "tools/common/TypedValues.h"
#include "tools/monitor/ListenSettings.h"
#include "tools/monitor/MonitorRecord.h"

namespace monitor {

struct MonitorOptions {
    ListenSettings line;
    MonitorMode mode = MonitorMode::Auto;
    poll::ValueType type = poll::ValueType::Uint16;
    poll::WordOrder order = poll::WordOrder::Abcd;
    poll::OutputFormat format = poll::OutputFormat::Table;
    std::string trace;
    std::uint32_t records = 0;    // 0: no limit
    std::uint32_t durationS = 0;  // 0: no limit
    std::uint32_t timeoutMs = 1000;
};

struct MonitorParse {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    MonitorOptions options;
    std::string error;  // for Action::Error: one line, without the program name
};

// args excludes the program name; options as getopt_long takes them, in any order with PORT.
MonitorParse ParseMonitorOptions(const std::vector<std::string>& args);

std::string MonitorUsageText();

}  // namespace monitor
