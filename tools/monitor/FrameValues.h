#pragma once

#include "tools/monitor/MonitorRecord.h"

namespace monitor {

// A request's address, count and the values it writes, from its message (address to data).
void DescribeRequest(const Bytes& message, MonitorRecord& record);
// The values an answer reads or echoes; `request` is the record of the request it answers,
// when it was heard, and tells how many bits a bit answer's bytes hold.
void DescribeAnswer(const Bytes& message, const MonitorRecord* request, MonitorRecord& record);

}  // namespace monitor
