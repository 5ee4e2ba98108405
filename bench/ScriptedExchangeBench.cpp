// The master's own cost of one exchange, with no line and no simulator: a scripted port hands
// the answer over at once, so what is timed is building the request, framing, checking and
// unpacking. The figure the protocol's rewrite was held to.

#include <benchmark/benchmark.h>

#include <memory>

#include "modbus/LocalModbus.h"
#include "tests/modbus/ScriptedPort.h"

namespace {

enum Mode : std::uint16_t { kRtu = 0, kAscii = 1 };

std::uint16_t Crc(const Bytes& message) {
    std::uint16_t crc = 0xFFFF;
    for (const std::uint8_t byte : message) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) != 0 ? static_cast<std::uint16_t>(crc >> 1 ^ 0xA001)
                                 : static_cast<std::uint16_t>(crc >> 1);
        }
    }
    return crc;
}

// The answer as the line carries it, worked out here rather than by the code being timed.
Bytes Frame(std::uint16_t mode, const Bytes& message) {
    if (mode == kRtu) {
        Bytes frame = message;
        const std::uint16_t crc = Crc(message);
        frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
        frame.push_back(static_cast<std::uint8_t>(crc >> 8));
        return frame;
    }
    static constexpr char kDigits[] = "0123456789ABCDEF";
    Bytes frame{':'};
    std::uint8_t sum = 0;
    const auto put = [&frame](std::uint8_t byte) {
        frame.push_back(static_cast<std::uint8_t>(kDigits[byte >> 4]));
        frame.push_back(static_cast<std::uint8_t>(kDigits[byte & 0x0F]));
    };
    for (const std::uint8_t byte : message) {
        put(byte);
        sum = static_cast<std::uint8_t>(sum + byte);
    }
    put(static_cast<std::uint8_t>(-sum));
    frame.push_back('\r');
    frame.push_back('\n');
    return frame;
}

template <typename Request>
void Exchange(benchmark::State& state, const Bytes& answer, Request request) {
    const auto mode = static_cast<std::uint16_t>(state.range(0));
    auto owned = std::make_unique<CScriptedPort>();
    CScriptedPort& port = *owned;
    CLocalModbus master{std::move(owned)};
    master.SetMode(mode);
    master.SetTimeout(100);
    if (!master.Open(1, 115200, 0)) {
        state.SkipWithError("the scripted port did not open");
        return;
    }
    const Bytes frame = Frame(mode, answer);
    for (auto _ : state) {
        port.Reset();
        port.Answer(frame);
        if (request(master) != kModbusOk) {
            state.SkipWithError("the exchange failed");
            return;
        }
    }
}

void BM_ScriptedRead125Registers(benchmark::State& state) {
    Bytes answer{1, 3, 250};
    answer.resize(253, 0x5A);
    WordArray values(125);
    Exchange(state, answer, [&](CModbus& m) { return m.ReadHoldingRegisters(1, 0, 125, values); });
}

void BM_ScriptedRead100Coils(benchmark::State& state) {
    Bytes answer{1, 1, 13};
    answer.resize(16, 0xA5);
    ByteArray states(100);
    Exchange(state, answer, [&](CModbus& m) { return m.ReadCoils(1, 0, 100, states); });
}

void BM_ScriptedWriteRegister(benchmark::State& state) {
    const Bytes answer{1, 6, 0, 7, 0x12, 0x34};
    Exchange(state, answer, [](CModbus& m) { return m.PresetSingleRegister(1, 7, 0x1234); });
}

void BM_ScriptedWrite10Registers(benchmark::State& state) {
    const Bytes answer{1, 16, 0, 7, 0, 10};
    const WordArray values(10, 0x1234);
    Exchange(state, answer, [&](CModbus& m) { return m.PresetMultipleRegisters(1, 7, values); });
}

BENCHMARK(BM_ScriptedRead125Registers)->Arg(kRtu)->Arg(kAscii);
BENCHMARK(BM_ScriptedRead100Coils)->Arg(kRtu)->Arg(kAscii);
BENCHMARK(BM_ScriptedWriteRegister)->Arg(kRtu)->Arg(kAscii);
BENCHMARK(BM_ScriptedWrite10Registers)->Arg(kRtu)->Arg(kAscii);

}  // namespace
