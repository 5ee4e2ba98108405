// One read of 125 holding registers, master to simulator and back over a pseudo-terminal, at
// 115200 bit/s with the character interval at its smallest.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>

#include "SlaveLine.h"
#include "TimedReads.h"
#include "modbus/LocalModbus.h"

namespace {

constexpr std::uint8_t kPort = 2;
constexpr std::uint16_t kQuantity = 125;
// The simulator's end-of-request silence above 19200 bit/s.
constexpr double kSlaveSilenceMs = 1.75;

void ReadRegisters(benchmark::State& state, std::uint16_t mode) {
    const bool rtu = mode == 0;
    CLocalModbus master;
    master.SetMode(mode);
    master.SetTimeout(1000);
    master.SetCharInterval(1);  // Open raises it to t4, which is 0 at 115200: it stays 1 ms
    CSlaveChild slave;
    if (!OpenOnSlave(state, slave, {"--mode", rtu ? "rtu" : "ascii", "--baud", "115200"}, master,
                     kPort, 115200)) {
        return;
    }

    // RTU waits out two silences per exchange: the slave's after the request and the
    // master's character interval after the answer. ASCII ends both frames at CR LF.
    const double silenceMs =
        rtu ? kSlaveSilenceMs + static_cast<double>(master.GetCharInterval()) : 0.0;
    TimedReads(state, master, kQuantity, silenceMs);
}

void BM_RtuRead125Registers(benchmark::State& state) {
    ReadRegisters(state, 0);
}
void BM_AsciiRead125Registers(benchmark::State& state) {
    ReadRegisters(state, 1);
}

BENCHMARK(BM_RtuRead125Registers)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AsciiRead125Registers)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
