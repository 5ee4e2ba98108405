// The real program (application object, frame, view and scan thread) against vornak-slave on
// a pseudo-terminal: CPU share, cycles and wake-ups per second while scanning and while
// stopped, measured over a fixed window of the running event loop.

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QCoreApplication>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "EventLoop.h"
#include "ProcessUsage.h"
#include "SlaveChild.h"
#include "app/FirstPaintProbe.h"
#include "app/MainFrame.h"
#include "app/VornakApp.h"
#include "scan/VornakView.h"
#include "tests/support/TempConfigHome.h"

namespace {

constexpr int kWarmUpMs = 1000;
constexpr int kWindowMs = 5000;
constexpr int kIdleWindowMs = 10000;

// 125 holding registers every 10 ms, ASCII at 115200 bit/s.
const QByteArray kAsciiFast =
    "[Main Env]\nCOM Bps=7\nTrans Mode=1\nScan Time=10\n[ModBus Env]\nRead Quan=125\n";
// The same from the input registers, which the simulator counts up: the lines keep changing.
const QByteArray kAsciiFastInput =
    "[Main Env]\nCOM Bps=7\nTrans Mode=1\nScan Time=10\n[ModBus Env]\nRead Func=1\n"
    "Read Quan=125\n";
// Everything at its default: RTU, 9600 bit/s, 1000 ms, 8 registers.
const QByteArray kRtuDefault = "";
const QByteArray kRtuDefault125 = "[ModBus Env]\nRead Quan=125\n";

// The slave, a fresh profile and the started program; stopped and closed on destruction.
class CScanRig {
public:
    bool Start(const std::vector<std::string>& slaveArgs, const QByteArray& ini) {
        if (!m_slave.Start(slaveArgs))
            return false;
        qputenv("VORNAK_COM1", QByteArray::fromStdString(m_slave.Path()));
        if (!m_home.WriteIni(ini))
            return false;
        m_app = std::make_unique<CVornakApp>();
        return m_app->InitInstance();
    }
    ~CScanRig() {
        if (m_app && m_app->MainFrame())
            m_app->MainFrame()->close();
        m_app.reset();
        qunsetenv("VORNAK_COM1");
    }
    CVornakView& View() const { return *m_app->View(); }

private:
    CTempConfigHome m_home;
    CSlaveChild m_slave;
    std::unique_ptr<CVornakApp> m_app;
};

void Scanning(benchmark::State& state, const std::vector<std::string>& slaveArgs,
              const QByteArray& ini) {
    CScanRig rig;
    if (!rig.Start(slaveArgs, ini)) {
        state.SkipWithError("the program or vornak-slave did not start");
        return;
    }
    rig.View().OnScanStart();
    RunEventLoop(kWarmUpMs);
    double cpu = 0, cycles = 0, wakeups = 0;
    for (auto _ : state) {
        const int before = rig.View().ScanCount();
        const CProcessUsage usage;
        RunEventLoop(kWindowMs);
        cpu += usage.CpuPercent();
        wakeups += usage.WakeupsPerSecond();
        cycles += (rig.View().ScanCount() - before) / usage.WallSeconds();
    }
    if (rig.View().ErrorCount() != 0)
        state.SkipWithError("a cycle failed");
    rig.View().OnScanStop();
    const auto perIteration = [](double v) {
        return benchmark::Counter(v, benchmark::Counter::kAvgIterations);
    };
    state.counters["cpu_percent"] = perIteration(cpu);
    state.counters["cycles_per_s"] = perIteration(cycles);
    state.counters["wakeups_per_s"] = perIteration(wakeups);
}

void BM_ScanAscii125Every10ms(benchmark::State& state) {
    Scanning(state, {"--mode", "ascii", "--baud", "115200"}, kAsciiFast);
}
void BM_ScanAscii125InputEvery10ms(benchmark::State& state) {
    Scanning(state, {"--mode", "ascii", "--baud", "115200"}, kAsciiFastInput);
}
void BM_ScanRtuDefaults(benchmark::State& state) {
    Scanning(state, {}, kRtuDefault);
}
void BM_ScanRtuDefaults125(benchmark::State& state) {
    Scanning(state, {}, kRtuDefault125);
}

// Stopped after a short scan: what the program costs while it only waits for the user.
void BM_Stopped(benchmark::State& state) {
    CScanRig rig;
    if (!rig.Start({"--mode", "ascii", "--baud", "115200"}, kAsciiFast)) {
        state.SkipWithError("the program or vornak-slave did not start");
        return;
    }
    rig.View().OnScanStart();
    RunEventLoop(kWarmUpMs);
    rig.View().OnScanStop();
    RunEventLoop(kWarmUpMs);
    double cpu = 0, wakeups = 0;
    for (auto _ : state) {
        const CProcessUsage usage;
        RunEventLoop(kIdleWindowMs);
        cpu += usage.CpuPercent();
        wakeups += usage.WakeupsPerSecond();
    }
    state.counters["cpu_percent"] = benchmark::Counter(cpu, benchmark::Counter::kAvgIterations);
    state.counters["wakeups_per_s"] =
        benchmark::Counter(wakeups, benchmark::Counter::kAvgIterations);
}

// Application object, frame and view made and shown until the first paint, in a process
// whose Qt is already up (the program's own figure from exec on comes from
// VORNAK_FIRST_PAINT_REPORT).
void BM_StartToFirstPaint(benchmark::State& state) {
    CTempConfigHome home;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        bool painted = false;
        CFirstPaintProbe probe([&](double, double) { painted = true; });
        auto app = std::make_unique<CVornakApp>();
        if (!app->InitInstance()) {
            state.SkipWithError("start-up failed");
            break;
        }
        while (!painted)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        app->MainFrame()->close();
        app.reset();
        QCoreApplication::processEvents();
    }
}

BENCHMARK(BM_ScanAscii125Every10ms)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_ScanAscii125InputEvery10ms)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_ScanRtuDefaults)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_ScanRtuDefaults125)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_Stopped)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_StartToFirstPaint)->Iterations(5)->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace
