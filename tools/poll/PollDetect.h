#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "tools/common/ProgressOutput.h"
#include "tools/common/StopRequest.h"
#include "tools/poll/PollOptions.h"

class CModbus;

namespace poll {

// One combination of line settings and mode that --detect tries.
struct LineTry {
    std::uint32_t baud = 9600;
    std::uint8_t parity = 0;    // 0 none, 1 odd, 2 even
    std::uint8_t stopBits = 0;  // 0 one, 2 two
    std::uint16_t mode = 0;     // 0 RTU, 1 ASCII
};

// A combination at which addresses answered.
struct LineFind {
    LineTry line;
    std::vector<std::uint8_t> slaves;
};

struct DetectSummary {
    std::uint32_t tried = 0;  // combinations whose every exchange ended
    std::uint32_t found = 0;
    bool stopped = false;
    std::string lineLost;      // why the sweep ended early, when the line went or did not open
    bool neverOpened = false;  // the line did not open for the first try
    int outputError = 0;
};

// The plan's combinations in the order tried: each rate, at it each parity and stop bits, at
// those each mode, so the line is set up again only when its settings change.
std::vector<LineTry> DetectSweep(const DetectPlan& plan);

// The options as a request at that combination: the line's and the try's short time-out.
PollOptions TryOptions(const PollOptions& options, const LineTry& line);

// The quiet kept before a try: long enough for a partial frame to die away.
std::uint32_t SettleMs(const PollOptions& options, const LineTry& previous, bool garbled);

// "-b 19200 --parity even -m rtu -a 1": the options that reproduce a find.
std::string DetectOptionsText(const LineFind& find, std::uint16_t dataBits);
// "19200 8N2 ASCII": a combination in a progress line.
std::string LineTryName(const LineTry& line, std::uint16_t dataBits);

std::string FormatDetectHeader(OutputFormat format);
// A find, newline included: the options in a table, a row per address in CSV, an object in
// JSON.
std::string FormatDetectFind(OutputFormat format, const LineFind& find, std::uint16_t dataBits);
std::string FormatDetectProgress(std::size_t tried, std::size_t total, const std::string& line,
                                 std::uint32_t found, double msLeft);

// Sets the line up for a try; false with the reason when it does not open.
using LineSetter = std::function<bool(const PollOptions& options, std::string& reason)>;

// Tries each combination of the options' plan with the read at each address, and prints the
// first at which one answers with a checked frame (an exception too), or with the plan's all
// every one. Progress as the scan's.
DetectSummary RunDetect(CModbus& master, const PollOptions& options, const LineSetter& setLine,
                        std::FILE* out, CStopRequest& stop, CProgress* progress);

}  // namespace poll
