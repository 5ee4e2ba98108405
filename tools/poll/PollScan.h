#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "tools/common/ProgressOutput.h"
#include "tools/common/StopRequest.h"
#include "tools/poll/PollIdentify.h"
#include "tools/poll/PollOptions.h"
#include "tools/poll/PollRecord.h"

class CModbus;

namespace poll {

struct ScanSummary {
    std::uint32_t asked = 0;  // addresses whose exchange ended
    std::uint32_t found = 0;  // of those, answered with a checked frame (exceptions too)
    bool stopped = false;
    std::string lineLost;  // the result that ended the scan early, when the line went
    int outputError = 0;   // errno of the output's first failed write; the scan ended there
};

// The scan's time-out: the exchange's wire time (request and longest answer, 11 bits a
// character at the line's rate; a fixed figure for a network line) plus 50 ms.
std::uint32_t ScanTimeoutMs(const PollOptions& options);
// The wire time of the longest answer (256 bytes, two characters a byte in ASCII, 11 bits a
// character), 0 on a network line.
std::uint32_t LongestAnswerMs(const PollOptions& options);
// Identification's own short time-out: the longest answer's wire time (100 ms on a network
// line) plus 50 ms.
std::uint32_t IdentifyTimeoutMs(const PollOptions& options);

std::string FormatScanHeader(OutputFormat format, bool identify = false);
// An address that answered, newline included: "3: answers (12 ms)". With an identity, its
// objects follow: indented lines in a table, one CSV row each (the scan's columns repeated,
// one row with both empty when there is none), a JSON "identity" object of name and value.
// failure says why nothing was identified.
std::string FormatScanRecord(OutputFormat format, const PollRecord& record,
                             const Identity* identity = nullptr, const std::string& failure = {});
// The progress line, without its leading '\r': bar, address, count found, time left.
std::string FormatScanProgress(std::size_t asked, std::size_t total, std::uint8_t slave,
                               std::uint32_t found, double msLeft);

// Asks each of the options' slaves once and prints those that answer, flushed, with progress
// shown before each request when given. With identify, each address found is identified
// before its record is printed.
ScanSummary RunScan(CModbus& master, const PollOptions& options, std::FILE* out, CStopRequest& stop,
                    CProgress* progress,
                    const std::function<Identity(std::uint8_t)>& identify = {});

}  // namespace poll
