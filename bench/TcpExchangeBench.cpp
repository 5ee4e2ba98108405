// One read of 125 holding registers over Modbus TCP on loopback from vornak-slave: through the
// master on a tcp:// line, beside libmodbus's modbus_read_registers against the same server.
// Real time per exchange, and the CPU of this process alone (the server's is not counted).

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string>

#include "SlaveChild.h"
#include "modbus/LocalModbus.h"

#ifdef VORNAK_HAVE_LIBMODBUS
#include <modbus.h>
#endif

namespace {

constexpr std::uint8_t kPort = 7;
constexpr std::uint16_t kQuantity = 125;
constexpr std::uint8_t kUnit = 1;

// User and system CPU of this process in µs, to show how much of an exchange is the kernel's.
struct CpuSplit {
    double user = 0;
    double system = 0;
    static CpuSplit Now() {
        rusage usage{};
        ::getrusage(RUSAGE_SELF, &usage);
        const auto us = [](const timeval& t) { return t.tv_sec * 1e6 + t.tv_usec; };
        return {us(usage.ru_utime), us(usage.ru_stime)};
    }
};

// Runs one exchange per iteration until one fails; the split per exchange as counters.
template <typename Exchange>
void Exchanges(benchmark::State& state, Exchange exchange) {
    const CpuSplit start = CpuSplit::Now();
    for (auto _ : state) {
        if (const std::string failure = exchange(); !failure.empty()) {
            state.SkipWithError(failure.c_str());
            break;
        }
    }
    const CpuSplit end = CpuSplit::Now();
    const auto perExchange = [](double v) {
        return benchmark::Counter(v, benchmark::Counter::kAvgIterations);
    };
    state.counters["user_us"] = perExchange(end.user - start.user);
    state.counters["sys_us"] = perExchange(end.system - start.system);
}

// One simulator for both halves, started at first use and stopped when the program ends.
// "127.0.0.1:PORT", empty when it did not start.
const std::string& Server() {
    static CSlaveChild slave;
    static const std::string endpoint = slave.Start({"--tcp", "0"}) ? slave.Path() : "";
    return endpoint;
}

void BM_TcpRead125Vornak(benchmark::State& state) {
    if (Server().empty()) {
        state.SkipWithError("vornak-slave did not start");
        return;
    }
    ::setenv("VORNAK_COM7", ("tcp://" + Server()).c_str(), 1);
    CLocalModbus master;
    master.SetTimeout(1000);
    if (!master.Open(kPort, 115200, 0)) {
        state.SkipWithError(("cannot open: " + master.GetPortErrorText()).c_str());
        return;
    }
    WordArray values(kQuantity, 0);
    Exchanges(state, [&]() -> std::string {
        const std::uint16_t code = master.ReadHoldingRegisters(kUnit, 0, kQuantity, values);
        return code == kModbusOk ? "" : master.GetErrorText(code);
    });
    master.Close();
}
BENCHMARK(BM_TcpRead125Vornak)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

#ifdef VORNAK_HAVE_LIBMODBUS
void BM_TcpRead125Libmodbus(benchmark::State& state) {
    if (Server().empty()) {
        state.SkipWithError("vornak-slave did not start");
        return;
    }
    const std::size_t colon = Server().rfind(':');
    const std::string host = Server().substr(0, colon);
    const int port = std::atoi(Server().c_str() + colon + 1);
    const std::unique_ptr<modbus_t, void (*)(modbus_t*)> ctx(modbus_new_tcp(host.c_str(), port),
                                                             [](modbus_t* c) {
                                                                 modbus_close(c);
                                                                 modbus_free(c);
                                                             });
    if (!ctx || modbus_set_slave(ctx.get(), kUnit) != 0 || modbus_connect(ctx.get()) != 0) {
        state.SkipWithError("libmodbus could not connect");
        return;
    }
    std::uint16_t values[kQuantity] = {};
    Exchanges(state, [&]() -> std::string {
        return modbus_read_registers(ctx.get(), 0, kQuantity, values) == kQuantity
                   ? ""
                   : modbus_strerror(errno);
    });
}
BENCHMARK(BM_TcpRead125Libmodbus)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();
#endif

}  // namespace
