// CRC-16 throughput of the master's calculator.

#include <benchmark/benchmark.h>

#include "modbus/Modbus.h"
#include "protocol/Crc16.h"

namespace {

void BM_Crc16(benchmark::State& state) {
    ByteArray data(static_cast<std::size_t>(state.range(0)));
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<std::uint8_t>(i * 37 + 11);
    }
    const CCrc16 crc;
    for (auto _ : state) {
        benchmark::DoNotOptimize(crc.Compute(data, data.size()));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

BENCHMARK(BM_Crc16)->Arg(8)->Arg(256);

}  // namespace

BENCHMARK_MAIN();
