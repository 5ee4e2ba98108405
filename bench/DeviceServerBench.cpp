// One read of 125 holding registers from the simulator through ser2net, raw TCP (socket://)
// and RFC 2217 (rfc2217://), beside the same over the pseudo-terminal directly. 115200 bit/s,
// character interval 20 ms: a network line needs that margin (a server hands the answer on in
// pieces), so the pseudo-terminal runs with it too and the figures compare.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>

#include "SlaveChild.h"
#include "TimedReads.h"
#include "modbus/LocalModbus.h"
#include "lines/PosixSerialPort.h"
#include "lines/Rfc2217SerialPort.h"
#include "lines/TcpSerialPort.h"
#include "tests/support/DeviceServer.h"

namespace {

constexpr std::uint8_t kPort = 4;
constexpr std::uint16_t kQuantity = 125;
constexpr std::uint32_t kCharInterval = 20;
constexpr double kSlaveSilenceMs = 1.75;

enum class Line { Pty, Socket, Rfc2217 };

void ReadThrough(benchmark::State& state, Line line, std::uint16_t mode) {
    const bool rtu = mode == 0;
    CSlaveChild slave;
    if (!slave.Start({"--mode", rtu ? "rtu" : "ascii", "--baud", "115200"})) {
        state.SkipWithError("vornak-slave did not start");
        return;
    }
    CDeviceServer server;
    std::unique_ptr<CSerialPort> port = std::make_unique<CPosixSerialPort>();
    std::string device = slave.Path();
    if (line != Line::Pty) {
        const bool telnet = line == Line::Rfc2217;
        if (!server.Start(telnet ? ServerKind::Ser2netRfc2217 : ServerKind::Ser2netRaw,
                          slave.Path())) {
            state.SkipWithError("ser2net did not start");
            return;
        }
        device = server.Endpoint();
        port = telnet ? std::unique_ptr<CSerialPort>(std::make_unique<CRfc2217SerialPort>())
                      : std::make_unique<CTcpSerialPort>();
    }
    ::setenv("VORNAK_COM4", device.c_str(), 1);
    CLocalModbus master(std::move(port));
    master.SetMode(mode);
    master.SetTimeout(1000);
    master.SetCharInterval(kCharInterval);
    if (!master.Open(kPort, 115200, 0)) {
        state.SkipWithError(("cannot open: " + master.GetPortErrorText()).c_str());
        return;
    }
    // RTU waits out the slave's silence after the request and the master's after the answer.
    const double silenceMs = rtu ? kSlaveSilenceMs + kCharInterval : 0.0;
    TimedReads(state, master, kQuantity, silenceMs);
}

BENCHMARK_CAPTURE(ReadThrough, RtuPty, Line::Pty, 0);
BENCHMARK_CAPTURE(ReadThrough, RtuSocket, Line::Socket, 0);
BENCHMARK_CAPTURE(ReadThrough, RtuRfc2217, Line::Rfc2217, 0);
BENCHMARK_CAPTURE(ReadThrough, AsciiPty, Line::Pty, 1);
BENCHMARK_CAPTURE(ReadThrough, AsciiSocket, Line::Socket, 1);
BENCHMARK_CAPTURE(ReadThrough, AsciiRfc2217, Line::Rfc2217, 1);

}  // namespace
