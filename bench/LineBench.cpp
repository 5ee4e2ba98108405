// A paced line: one read of 125 holding registers from the simulator sending at the bit rate,
// beside the wire time of its 263 characters; and what the frame trace adds to an exchange.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "SlaveLine.h"
#include "lines/TracePort.h"
#include "modbus/LocalModbus.h"
#include "protocol/Crc16.h"

namespace {

constexpr std::uint8_t kPort = 6;
constexpr std::uint16_t kQuantity = 125;
constexpr int kCharacters = 8 + 5 + 2 * kQuantity;  // request, then the answer with its check

void BM_PacedRead125Registers(benchmark::State& state) {
    const auto baud = static_cast<std::uint32_t>(state.range(0));
    CLocalModbus master;
    master.SetTimeout(1000);
    // The simulator paces with the scheduler's jitter, a few ms on a busy machine.
    master.SetCharInterval(static_cast<std::uint32_t>(state.range(1)));
    CSlaveChild slave;
    if (!OpenOnSlave(state, slave, {"--pace", "--baud", std::to_string(baud)}, master, kPort,
                     baud)) {
        return;
    }
    ReadsUntilDone(state, master, kQuantity);
    // 10 bits a character: start, 8 data, stop.
    state.counters["wire_ms"] = kCharacters * 10 * 1000.0 / baud;
    state.counters["silences_ms"] = static_cast<double>(master.GetCharInterval());
}

// Answers every request at once with a canned 125-register answer: what is left of an exchange
// is the master's own work and the layers around the line.
class CInstantLine : public CSerialPort {
public:
    CInstantLine() {
        m_answer.assign(3 + 2 * kQuantity, 0x5A);
        m_answer[0] = 1;
        m_answer[1] = 3;
        m_answer[2] = 2 * kQuantity;
        const std::uint16_t crc = CCrc16::Compute(m_answer.data(), m_answer.size());
        m_answer.push_back(static_cast<std::uint8_t>(crc & 0xFF));
        m_answer.push_back(static_cast<std::uint8_t>(crc >> 8));
    }
    bool Open(const std::string&) override { return m_bOpen = true; }
    bool Close() override { return !(m_bOpen = false); }
    bool IsOpen() const override { return m_bOpen; }
    bool SetQueueSizes(std::uint32_t, std::uint32_t) override { return true; }
    bool SetLine(const SerialDcb&) override { return true; }
    bool SetTimeouts(const SerialTimeouts&) override { return true; }
    bool Purge(std::uint32_t) override { return true; }
    bool Write(const std::uint8_t*, std::uint32_t count, std::uint32_t* written) override {
        *written = count;
        m_nAt = 0;
        return true;
    }
    bool Read(std::uint8_t* data, std::uint32_t count, std::uint32_t* received) override {
        const auto n = std::min<std::size_t>(count, m_answer.size() - m_nAt);
        std::memcpy(data, m_answer.data() + m_nAt, n);
        m_nAt += n;
        *received = static_cast<std::uint32_t>(n);
        return true;
    }
    bool ClearError(std::uint32_t* errors, SerialStatus* status) override {
        *errors = 0;
        if (status != nullptr) {
            *status = SerialStatus{};
        }
        return true;
    }
    void Abort() override {}
    int LastError() const override { return 0; }
    std::string Device() const override { return "instant"; }

private:
    bool m_bOpen = false;
    std::vector<std::uint8_t> m_answer;
    std::size_t m_nAt = 0;
};

void BM_ExchangeTraced(benchmark::State& state) {
    const bool traced = state.range(0) != 0;
    const std::string path = "/tmp/vornak-bench-trace";
    std::remove(path.c_str());
    std::unique_ptr<CSerialPort> port = std::make_unique<CInstantLine>();
    if (traced) {
        port = std::make_unique<CTracePort>(std::move(port), std::make_shared<CTraceFile>(path),
                                            "/dev/ttyUSB0");
    }
    CLocalModbus master(std::move(port));
    master.Open(1, 115200, 0);
    WordArray values(kQuantity, 0);
    for (auto _ : state) {
        benchmark::DoNotOptimize(master.ReadHoldingRegisters(1, 0, kQuantity, values));
    }
    master.Close();
    std::remove(path.c_str());
    std::remove((path + ".1").c_str());
}

BENCHMARK(BM_PacedRead125Registers)
    ->Args({9600, 5})
    ->Args({115200, 20})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_ExchangeTraced)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
