#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "tools/monitor/BusDecoder.h"
#include "tools/monitor/ListenLine.h"
#include "tools/monitor/MonitorOptions.h"

class CTraceFile;

namespace monitor {

struct RunSummary {
    std::uint64_t records = 0;  // printed
    bool stopped = false;       // by Stop() on the line
    std::string lineEnd;        // why the line ended or failed; empty when it did not
    int outputError = 0;        // errno of the output's first failed write; the run ended there
};

// Listens until the stop, the record count, the duration or the line's end: feeds the decoder
// what the line brings with its arrival time, ticks it at its deadlines, and prints each
// record, flushed, and traces it when trace is given. The decoder is finished at the end and
// what that decides is printed too, within the count.
RunSummary RunMonitor(CListenLine& line, CBusDecoder& decoder, const MonitorOptions& options,
                      std::FILE* out, CTraceFile* trace);

// The decoder's settings from the options.
DecoderSettings SettingsFor(const MonitorOptions& options);

}  // namespace monitor
