#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>

#include "modbus/LocalModbus.h"

// Reads the holding registers from 0 once per iteration and counts the time each read took
// beyond the silences it must wait out; a failed read ends the run with its text.
inline void TimedReads(benchmark::State& state, CLocalModbus& master, std::uint16_t quantity,
                       double silenceMs) {
    WordArray values(quantity, 0);
    double aboveMs = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const std::uint16_t code = master.ReadHoldingRegisters(1, 0, quantity, values);
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        if (code != kModbusOk) {
            state.SkipWithError(master.GetErrorText(code).c_str());
            break;
        }
        aboveMs += took.count() - silenceMs;
    }
    state.counters["silence_ms"] = silenceMs;
    state.counters["above_silence_ms"] =
        benchmark::Counter(aboveMs, benchmark::Counter::kAvgIterations);
}
