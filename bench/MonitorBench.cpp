// vornak-monitor's processor use on a bus kept busy: the simulator paced like the wire at
// 115200 bit/s with a tap, vornak-poll reading 125 registers back to back as the master, and
// the monitor on the tap for a fixed window, ended with SIGINT. The figures are the monitor's
// own: records per second and processor time as a share of one core.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "SlaveChild.h"
#include "TimedRun.h"

extern char** environ;

namespace {

constexpr auto kWindow = std::chrono::seconds(5);

// The master, in the background for the length of one benchmark, its output discarded.
class CMaster {
public:
    explicit CMaster(std::vector<std::string> args) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        std::vector<char*> argv;
        for (auto& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~CMaster() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            int status = 0;
            while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
            }
        }
    }
    CMaster(const CMaster&) = delete;
    CMaster& operator=(const CMaster&) = delete;
    bool Ok() const { return m_pid > 0; }

private:
    pid_t m_pid = -1;
};

void Monitor125(benchmark::State& state, bool bursts) {
    const std::string tap = "/tmp/vornak-monitor-bench-" + std::to_string(::getpid());
    std::vector<std::string> slaveArgs = {"--baud", "115200", "--pace", "--tap", tap};
    if (bursts) {
        slaveArgs.insert(slaveArgs.end(), {"--burst", "16"});
    }
    CSlaveChild slave;
    if (!slave.Start(slaveArgs)) {
        state.SkipWithError("vornak-slave did not start");
        return;
    }
    const CMaster master(
        {VORNAK_POLL_PATH, "-b", "115200", "-c", "125", "-i", "0", "-n", "0", slave.Path()});
    if (!master.Ok()) {
        state.SkipWithError("vornak-poll did not start");
        return;
    }
    // Every record line starts with its time stamp, which starts with the year.
    TimedRun run;
    for (auto _ : state) {
        run = RunForWindow({VORNAK_MONITOR_PATH, "-b", "115200", tap}, "20", kWindow);
        if (!run.interrupted || run.lines == 0) {
            state.SkipWithError("the monitor did not run or heard nothing");
            return;
        }
    }
    state.counters["records_per_s"] = static_cast<double>(run.lines) / run.wallSeconds;
    state.counters["cpu_percent"] = 100.0 * run.cpuSeconds / run.wallSeconds;
}

}  // namespace

BENCHMARK_CAPTURE(Monitor125, paced_115200, false)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(Monitor125, bursts_115200, true)->Iterations(1)->Unit(benchmark::kSecond);

BENCHMARK_MAIN();
