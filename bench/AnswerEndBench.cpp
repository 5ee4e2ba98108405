// Reads of 125 holding registers from the simulator on a paced line, with the answer ended by
// the line's silence or by its length, under a 50 ms character interval: what ending by length
// saves per poll, with and without the chunked arrival of a USB adapter (--burst 16).

#include <benchmark/benchmark.h>

#include <string>

#include "SlaveLine.h"

namespace {

constexpr std::uint8_t kPort = 7;
constexpr std::uint16_t kQuantity = 125;
constexpr std::uint32_t kCharInterval = 50;

void BM_AnswerEnd(benchmark::State& state) {
    const auto baud = static_cast<std::uint32_t>(state.range(0));
    const auto burstMs = state.range(1);
    const bool byLength = state.range(2) != 0;
    std::vector<std::string> args{"--pace", "--baud", std::to_string(baud)};
    if (burstMs > 0) {
        args.insert(args.end(), {"--burst", std::to_string(burstMs)});
    }
    CLocalModbus master;
    master.SetTimeout(1000);
    master.SetCharInterval(kCharInterval);
    master.SetAnswerEnd(byLength ? AnswerEnd::Length : AnswerEnd::Silence);
    CSlaveChild slave;
    if (!OpenOnSlave(state, slave, args, master, kPort, baud)) {
        return;
    }
    ReadsUntilDone(state, master, kQuantity);
    state.counters["polls_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// baud, --burst ms (0: none), answer end (0 silence, 1 length).
BENCHMARK(BM_AnswerEnd)
    ->ArgsProduct({{9600, 115200}, {0, 16}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0)
    ->UseRealTime();

}  // namespace
