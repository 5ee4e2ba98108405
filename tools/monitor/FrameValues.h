#pragma once

#include "protocol/FunctionTable.h"
#include "tools/monitor/MonitorRecord.h"

namespace monitor {

// What the protocol reads in a frame's message (address then PDU, no check), put in its
// record: the values and fields, a request's address and count (an answer takes its request's
// where it was heard), and "malformed: REASON" as the error of a frame that breaks its
// function's rules. `request` is what the request an answer answers said; the description
// given back is what an answer to this request is read against.
protocol::Description DescribeFrame(protocol::Role role, const Bytes& message,
                                    const protocol::Description* request, MonitorRecord& record);

}  // namespace monitor
