#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "tools/poll/PollOptions.h"
#include "tools/poll/PollRecord.h"
#include "tools/poll/StopRequest.h"

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

// "Illegal Data Address" for 2: the standard name of an exception code.
std::string ExceptionName(std::uint16_t exception);

std::string FormatScanHeader(OutputFormat format);
// An address that answered, newline included: "3: answers (12 ms)".
std::string FormatScanRecord(OutputFormat format, const PollRecord& record);
// The progress line, without its leading '\r': bar, address, count found, time left.
std::string FormatScanProgress(std::size_t asked, std::size_t total, std::uint8_t slave,
                               std::uint32_t found, double msLeft);

// Asks each of the options' slaves once and prints those that answer, flushed. With progress
// (a terminal), one line there is redrawn before each request and cleared at the end.
ScanSummary RunScan(CModbus& master, const PollOptions& options, std::FILE* out, CStopRequest& stop,
                    std::FILE* progress);

}  // namespace poll
