// Modbus/TCP Security on loopback against vornak-slave: one read of 125 holding registers over
// a tls:// line once the session is up, beside the same over tcp:// (the cost of the record
// layer), and a whole open (connection and mutual handshake) and close of the tls:// line.
// Real time per iteration, and this process's own CPU (the server's is not counted).

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdlib>
#include <string>

#include "SlaveChild.h"
#include "modbus/LocalModbus.h"
#include "tests/support/TestPki.h"

namespace {

constexpr std::uint8_t kPort = 8;
constexpr std::uint16_t kQuantity = 125;

double CpuMicroseconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto us = [](const timeval& t) { return t.tv_sec * 1e6 + t.tv_usec; };
    return us(usage.ru_utime) + us(usage.ru_stime);
}

const CTestPki& Pki() {
    static const CTestPki pki;
    return pki;
}

// A simulator for plain Modbus TCP, started at first use; "tcp://HOST:PORT", empty when it did
// not start.
const std::string& TcpServer() {
    static CSlaveChild slave;
    static const std::string device = slave.Start({"--tcp", "0"}) ? "tcp://" + slave.Path() : "";
    return device;
}

std::string TlsDevice(const std::string& endpoint) {
    const CTestPki& pki = Pki();
    return "tls://" + endpoint + "?cert=" + pki.Cert("operator") + "&key=" + pki.Key("operator") +
           "&ca=" + pki.Cert("ca");
}

// A simulator for Modbus/TCP Security; the tls:// device with this end's files.
const std::string& TlsServer() {
    static CSlaveChild slave;
    static const std::string device = [] {
        const CTestPki& pki = Pki();
        if (!pki.Ok() || !slave.Start({"--tls", "0", "--cert", pki.Cert("device"), "--key",
                                       pki.Key("device"), "--ca", pki.Cert("ca")})) {
            return std::string();
        }
        return TlsDevice(slave.Path());
    }();
    return device;
}

void Read125(benchmark::State& state, bool tls) {
    const std::string device = tls ? TlsServer() : TcpServer();
    if (device.empty()) {
        state.SkipWithError("vornak-slave or the certificates did not start");
        return;
    }
    ::setenv(("VORNAK_COM" + std::to_string(kPort)).c_str(), device.c_str(), 1);
    CLocalModbus master;
    master.SetTimeout(1000);
    if (!master.Open(kPort, 9600, 0)) {
        state.SkipWithError(("the line did not open: " + master.GetPortErrorText()).c_str());
        return;
    }
    WordArray values(kQuantity);
    const double cpu = CpuMicroseconds();
    for (auto _ : state) {
        if (const std::uint16_t code = master.ReadHoldingRegisters(1, 0, kQuantity, values);
            code != kModbusOk) {
            state.SkipWithError(master.GetErrorText(code).c_str());
            break;
        }
    }
    state.counters["cpu_us"] =
        benchmark::Counter(CpuMicroseconds() - cpu, benchmark::Counter::kAvgIterations);
}

void BM_TcpRead125(benchmark::State& state) {
    Read125(state, false);
}
void BM_TlsRead125(benchmark::State& state) {
    Read125(state, true);
}

void BM_TlsOpenAndClose(benchmark::State& state) {
    const std::string device = TlsServer();
    if (device.empty()) {
        state.SkipWithError("vornak-slave or the certificates did not start");
        return;
    }
    ::setenv(("VORNAK_COM" + std::to_string(kPort)).c_str(), device.c_str(), 1);
    const double cpu = CpuMicroseconds();
    for (auto _ : state) {
        CLocalModbus master;
        if (!master.Open(kPort, 9600, 0)) {
            state.SkipWithError(("the line did not open: " + master.GetPortErrorText()).c_str());
            break;
        }
        master.Close();
    }
    state.counters["cpu_us"] =
        benchmark::Counter(CpuMicroseconds() - cpu, benchmark::Counter::kAvgIterations);
}

BENCHMARK(BM_TcpRead125)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_TlsRead125)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_TlsOpenAndClose)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
