// vornak-poll finding what is on a line, timed from start to end as a user waits for it: a
// scan of addresses 1-247 against the simulator pacing the wire (--pace) and serving 3, 17 and
// 200, at 9600 and 115200 bit/s, each address with the scan's default time-out; and a
// detection of a paced simulator at 19200 bit/s, 8N2, ASCII (the 16th combination tried).

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

#include "SlaveChild.h"
#include "TimedRun.h"

namespace {

// Far beyond any run here: a run that reaches it has hung and counts as failed.
constexpr auto kBound = std::chrono::seconds(120);

void Scan247(benchmark::State& state, const std::string& baud) {
    CSlaveChild slave;
    if (!slave.Start({"--pace", "--baud", baud, "--id", "3,17,200"})) {
        state.SkipWithError("vornak-slave did not start");
        return;
    }
    TimedRun run;
    for (auto _ : state) {
        // Every line of the table is an address found.
        run = RunForWindow({VORNAK_POLL_PATH, "--scan", "-b", baud, slave.Path()}, "", kBound);
        if (run.interrupted || run.lines != 3) {
            state.SkipWithError("the scan hung or did not find exactly 3, 17 and 200");
            return;
        }
    }
    state.counters["seconds"] = run.wallSeconds;
    state.counters["ms_per_address"] = 1000.0 * run.wallSeconds / 247;
    state.counters["found"] = static_cast<double>(run.lines);
}

void DetectAscii19200(benchmark::State& state) {
    CSlaveChild slave;
    if (!slave.Start({"--pace", "--mode", "ascii", "--baud", "19200", "--stop-bits", "2"})) {
        state.SkipWithError("vornak-slave did not start");
        return;
    }
    TimedRun run;
    for (auto _ : state) {
        run = RunForWindow({VORNAK_POLL_PATH, "--detect", slave.Path()},
                           "-b 19200 --parity none --stop-bits 2 -m ascii -a 1", kBound);
        if (run.interrupted || run.lines != 1) {
            state.SkipWithError("the detection hung or did not find 19200 8N2 ASCII");
            return;
        }
    }
    state.counters["seconds"] = run.wallSeconds;
}

}  // namespace

BENCHMARK(DetectAscii19200)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Scan247, paced_9600, std::string("9600"))
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(Scan247, paced_115200, std::string("115200"))
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

BENCHMARK_MAIN();
