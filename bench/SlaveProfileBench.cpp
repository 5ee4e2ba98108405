// The simulator serving units from device profiles against its plain table device: four units
// of 200 moving points each (sines, random values, counters), polled back to back over TCP by
// vornak-poll, 125 registers of each unit in turn, for a fixed window. The figures are the
// simulator's processor time as a share of one core, read from /proc, and the requests answered
// per second as the master counts them.

#include <unistd.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "SlaveChild.h"
#include "TimedRun.h"

namespace {

constexpr auto kWindow = std::chrono::seconds(5);
constexpr int kPointsPerKind = 200 / 4;

// User and system time of a process so far, in seconds.
double CpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; fields >> field && i <= 15; ++i) {
        if (i == 14 || i == 15) {
            ticks += std::stod(field);
        }
    }
    return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// 200 points that all move: float32 sines, uint16 random values, uint32 counters, int16
// toggles, in holding registers 0 to 299.
std::string MovingProfile() {
    std::string text;
    int address = 0;
    const auto point = [&](const std::string& name, const std::string& type, int width,
                           const std::string& motion) {
        text += "[[point]]\nname = \"" + name +
                "\"\ntable = \"holding\"\naddress = " + std::to_string(address) + "\ntype = \"" +
                type + "\"\nmotion = " + motion + "\n";
        address += width;
    };
    for (int i = 0; i < kPointsPerKind; ++i) {
        point("sine" + std::to_string(i), "float32", 2,
              "{ kind = \"sine\", amplitude = 5.0, period = 7.0, offset = 50.0 }");
        point("random" + std::to_string(i), "uint16", 1,
              "{ kind = \"random\", min = 0, max = 1000, period = 0.1 }");
        point("count" + std::to_string(i), "uint32", 2,
              "{ kind = \"increment\", step = 1, period = 0.05 }");
        point("blink" + std::to_string(i), "int16", 1, "{ kind = \"toggle\", period = 0.2 }");
    }
    return text;
}

void Serve(benchmark::State& state, bool profiles) {
    const std::string dir = "/tmp/vornak-profile-bench-" + std::to_string(::getpid());
    std::vector<std::string> args{"--tcp", "0"};
    if (profiles) {
        std::filesystem::create_directories(dir);
        std::ofstream(dir + "/moving.toml") << MovingProfile();
        std::ofstream(dir + "/plant.toml")
            << "[[unit]]\nid = \"1-4\"\nprofile = \"" << dir << "/moving.toml\"\n";
        args = {"--tcp", "0", "--config", dir + "/plant.toml"};
    } else {
        args.insert(args.end(), {"--id", "1-4"});
    }
    CSlaveChild slave;
    if (!slave.Start(args)) {
        state.SkipWithError("vornak-slave did not start");
        return;
    }
    TimedRun run;
    double slaveCpu = 0;
    for (auto _ : state) {
        const double before = CpuSeconds(slave.Pid());
        run = RunForWindow({VORNAK_POLL_PATH, "-m", "tcp", "-a", "1-4", "-c", "125", "-i", "0",
                            "-n", "0", "-o", "json", slave.Path()},
                           "{\"time\"", kWindow);
        slaveCpu = CpuSeconds(slave.Pid()) - before;
        if (!run.interrupted || run.lines == 0) {
            state.SkipWithError("vornak-poll did not run or read nothing");
            return;
        }
    }
    state.counters["requests_per_s"] = static_cast<double>(run.lines) / run.wallSeconds;
    state.counters["ms_per_request"] = 1000.0 * run.wallSeconds / static_cast<double>(run.lines);
    state.counters["slave_cpu_percent"] = 100.0 * slaveCpu / run.wallSeconds;
    state.counters["slave_us_per_request"] = 1e6 * slaveCpu / static_cast<double>(run.lines);
    std::filesystem::remove_all(dir);
}

}  // namespace

BENCHMARK_CAPTURE(Serve, table_device, false)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Serve, four_units_of_200_moving_points, true)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
