#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tools/common/StopRequest.h"
#include "tools/poll/PollOptions.h"
#include "tools/poll/PollRecord.h"

class CModbus;

namespace poll {

struct PollSummary {
    std::uint32_t rounds = 0;  // polls begun and printed, each asking every slave
    std::uint32_t polls = 0;   // requests printed
    std::uint32_t failed = 0;  // of those, with a code other than 0
    std::map<std::string, std::uint32_t> failures;  // by result text, in its own words
    std::string lastFailure;                        // its text
    std::uint32_t answered = 0;                     // exchanges that got an answer, timed
    double leastMs = 0;
    double totalMs = 0;
    double greatestMs = 0;
    int outputError = 0;  // errno of the output's first failed write; the run ended there
};

// How a long run gets its line back: drop lets a lost one go, open opens it again (false with
// the reason when it does not open yet).
struct LineKeeper {
    std::function<bool(std::string& reason)> open;
    std::function<void()> drop;
};

// One request to one slave as the options say, on an open master, tried up to 1 + retries
// times while it fails without an answer. A broadcast (slave 0) waits out the turnaround.
PollRecord PollOnce(CModbus& master, const PollOptions& options, std::uint8_t slave,
                    CStopRequest* stop = nullptr);

// Polls at the interval (start to start; an overrun delays the next poll, it never bunches
// them), each poll asking every slave in turn, and prints each answer, flushed, until the count
// is reached, the stop is requested or the output fails (polling on with nowhere to say what
// came back would only load the bus). An exchange that the stop cut short is not printed.
// With a keeper, a lost device or connection is dropped and opened again at the next poll.
// With publish, each poll's records are handed on once they are printed.
using RecordsOut = std::function<void(const std::vector<PollRecord>&)>;
PollSummary RunPolls(CModbus& master, const PollOptions& options, std::FILE* out,
                     CStopRequest& stop, const LineKeeper* keeper = nullptr,
                     const RecordsOut& publish = {});

// Calls poll at the interval, start to start (an overrun delays the next poll, it never
// bunches them), as many times as the options' count (0: until the stop). false from poll ends
// the run; the result is false then too.
bool EveryInterval(const PollOptions& options, CStopRequest& stop,
                   const std::function<bool()>& poll);

// One exchange in the summary: its result, and its time when it was answered and timed.
void CountExchange(PollSummary& summary, std::uint16_t code, const std::string& text,
                   double exchangeMs, bool timed);

// The closing lines of a run, as ping gives them: polls, failures by result, exchange times.
std::string FormatSummary(const PollSummary& summary, const std::string& port);

}  // namespace poll
