// vornak-poll beside mbpoll: 125 holding registers polled back to back (vornak-poll at
// interval 0 with its default options, mbpoll at its shortest poll rate, 10 ms) from the
// simulator over a pseudo-terminal: as fast as the pseudo-terminal carries bytes, and paced
// like the wire at 9600 and 115200 bit/s, with and without a USB adapter's 16 ms bursts. Each
// run lasts a fixed window and ends with SIGINT; the figures are the programs' own.

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

#include "SlaveChild.h"
#include "TimedRun.h"

namespace {

enum class Poller { Vornak, Mbpoll };

constexpr auto kWindow = std::chrono::seconds(5);

// How the simulator carries the bytes.
struct Wire {
    const char* baud;
    bool paced;
    bool bursts;
};
constexpr Wire kImmediate{"9600", false, false};
constexpr Wire kPaced9600{"9600", true, false};
constexpr Wire kBursts9600{"9600", true, true};
constexpr Wire kPaced115200{"115200", true, false};
constexpr Wire kBursts115200{"115200", true, true};

std::vector<std::string> PollCommand(Poller poller, const std::string& mode, const Wire& wire,
                                     const std::string& line) {
    if (poller == Poller::Mbpoll) {
        return {"mbpoll", "-m", "rtu", "-a", "1",  "-b",  wire.baud, "-P", "none",
                "-t",     "4",  "-r",  "1",  "-c", "125", "-l",      "10", line};
    }
    return {VORNAK_POLL_PATH, "-m", mode, "-b", wire.baud, "-c", "125", "-i", "0", "-n", "0", line};
}

void Poll125(benchmark::State& state, Poller poller, const std::string& mode, Wire wire) {
    CSlaveChild slave;
    std::vector<std::string> slaveArgs = {"--mode", mode, "--baud", wire.baud};
    if (wire.paced) {
        slaveArgs.push_back("--pace");
    }
    if (wire.bursts) {
        slaveArgs.insert(slaveArgs.end(), {"--burst", "16"});
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
        run = RunForWindow(PollCommand(poller, mode, wire, slave.Path()), marker, kWindow);
        if (!run.interrupted || run.lines == 0) {
            state.SkipWithError("the poller did not run or read nothing");
            return;
        }
    }
    state.counters["polls_per_s"] = static_cast<double>(run.lines) / run.wallSeconds;
    state.counters["cpu_percent"] = 100.0 * run.cpuSeconds / run.wallSeconds;
    state.counters["cpu_ms_per_poll"] = 1000.0 * run.cpuSeconds / static_cast<double>(run.lines);
}

}  // namespace

BENCHMARK_CAPTURE(Poll125, vornak_poll_rtu, Poller::Vornak, "rtu", kImmediate)->Iterations(1);
BENCHMARK_CAPTURE(Poll125, vornak_poll_ascii, Poller::Vornak, "ascii", kImmediate)->Iterations(1);
BENCHMARK_CAPTURE(Poll125, mbpoll_rtu, Poller::Mbpoll, "rtu", kImmediate)->Iterations(1);
BENCHMARK_CAPTURE(Poll125, vornak_poll_rtu_paced, Poller::Vornak, "rtu", kPaced9600)->Iterations(1);
BENCHMARK_CAPTURE(Poll125, vornak_poll_ascii_paced, Poller::Vornak, "ascii", kPaced9600)
    ->Iterations(1);
BENCHMARK_CAPTURE(Poll125, mbpoll_rtu_paced, Poller::Mbpoll, "rtu", kPaced9600)->Iterations(1);
BENCHMARK_CAPTURE(Poll125, vornak_poll_rtu_bursts, Poller::Vornak, "rtu", kBursts9600)
    ->Iterations(1);
BENCHMARK_CAPTURE(Poll125, mbpoll_rtu_bursts, Poller::Mbpoll, "rtu", kBursts9600)->Iterations(1);
BENCHMARK_CAPTURE(Poll125, vornak_poll_rtu_paced_115200, Poller::Vornak, "rtu", kPaced115200)
    ->Iterations(1);
BENCHMARK_CAPTURE(Poll125, mbpoll_rtu_paced_115200, Poller::Mbpoll, "rtu", kPaced115200)
    ->Iterations(1);
BENCHMARK_CAPTURE(Poll125, vornak_poll_rtu_bursts_115200, Poller::Vornak, "rtu", kBursts115200)
    ->Iterations(1);
BENCHMARK_CAPTURE(Poll125, mbpoll_rtu_bursts_115200, Poller::Mbpoll, "rtu", kBursts115200)
    ->Iterations(1);

BENCHMARK_MAIN();
