// vornak-poll beside mbpoll: 125 holding registers polled back to back (vornak-poll at
// interval 0, mbpoll at its shortest poll rate, 10 ms) from the simulator at 9600 bit/s over a
// pseudo-terminal, once as fast as the pseudo-terminal carries bytes and once paced like the
// wire. Each run lasts a fixed window and ends with SIGINT; the figures are the programs' own.

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

#include "SlaveChild.h"
#include "TimedRun.h"

namespace {

enum class Poller { Vornak, Mbpoll };

constexpr auto kWindow = std::chrono::seconds(5);

std::vector<std::string> PollCommand(Poller poller, const std::string& mode,
                                     const std::string& line) {
    if (poller == Poller::Mbpoll) {
        return {"mbpoll", "-m", "rtu", "-a", "1",  "-b",  "9600", "-P", "none",
                "-t",     "4",  "-r",  "1",  "-c", "125", "-l",   "10", line};
    }
    return {VORNAK_POLL_PATH, "-m", mode, "-b", "9600", "-c", "125", "-i", "0", "-n", "0", line};
}

void Poll125(benchmark::State& state, Poller poller, const std::string& mode, bool paced) {
    CSlaveChild slave;
    std::vector<std::string> slaveArgs = {"--mode", mode, "--baud", "9600"};
    if (paced) {
        slaveArgs.push_back("--pace");
    }
    if (!slave.Start(slaveArgs)) {
        state.SkipWithError("vornak-slave did not start");
        return;
    }
    // A poll counts when its last register came: vornak-poll ends a good poll with "OK",
    // mbpoll prints register 125 last.
    const std::string marker = poller == Poller::Mbpoll ? "[125]:" : "OK";
    TimedRun run;
    for (auto _ : state) {
        run = RunForWindow(PollCommand(poller, mode, slave.Path()), marker, kWindow);
        if (!run.ok || run.lines == 0) {
            state.SkipWithError("the poller did not run or read nothing");
            return;
        }
    }
    state.counters["polls_per_s"] = static_cast<double>(run.lines) / run.wallSeconds;
    state.counters["cpu_percent"] = 100.0 * run.cpuSeconds / run.wallSeconds;
    state.counters["cpu_ms_per_poll"] = 1000.0 * run.cpuSeconds / static_cast<double>(run.lines);
}

}  // namespace

BENCHMARK_CAPTURE(Poll125, vornak_poll_rtu, Poller::Vornak, "rtu", false)->Iterations(1);
BENCHMARK_CAPTURE(Poll125, vornak_poll_ascii, Poller::Vornak, "ascii", false)->Iterations(1);
BENCHMARK_CAPTURE(Poll125, mbpoll_rtu, Poller::Mbpoll, "rtu", false)->Iterations(1);
BENCHMARK_CAPTURE(Poll125, vornak_poll_rtu_paced, Poller::Vornak, "rtu", true)->Iterations(1);
BENCHMARK_CAPTURE(Poll125, vornak_poll_ascii_paced, Poller::Vornak, "ascii", true)->Iterations(1);
BENCHMARK_CAPTURE(Poll125, mbpoll_rtu_paced, Poller::Mbpoll, "rtu", true)->Iterations(1);

BENCHMARK_MAIN();
