// Reads of 125 holding registers from the simulator on a paced line, with the answer ended by
// the line's silence or by its length, under a 50 ms character interval: what ending by length
// saves per poll, with and without the chunked arrival of a USB adapter (--burst 16).

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "SlaveChild.h"
#include "modbus/LocalModbus.h"

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
    CSlaveChild slave;
    if (!slave.Start(args)) {
        state.SkipWithError("vornak-slave did not start");
        return;
    }
    ::setenv("VORNAK_COM7", slave.Path().c_str(), 1);
    CLocalModbus master;
    master.SetTimeout(1000);
    master.SetCharInterval(kCharInterval);
    master.SetAnswerEnd(byLength ? AnswerEnd::Length : AnswerEnd::Silence);
    if (!master.Open(kPort, baud, 0)) {
        state.SkipWithError("the master could not open the line");
        return;
    }
    WordArray values(kQuantity, 0);
    for (auto _ : state) {
        if (const std::uint16_t code = master.ReadHoldingRegisters(1, 0, kQuantity, values);
            code != kModbusOk) {
            state.SkipWithError(master.GetErrorText(code).c_str());
            break;
        }
    }
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
