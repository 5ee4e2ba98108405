#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "SlaveChild.h"
#include "modbus/LocalModbus.h"

// Starts the simulator with args and opens the master, set up beforehand, on its line as the
// given port; false, with the run skipped and the reason given, when either fails.
inline bool OpenOnSlave(benchmark::State& state, CSlaveChild& slave,
                        const std::vector<std::string>& args, CLocalModbus& master,
                        std::uint8_t port, std::uint32_t baud) {
    if (!slave.Start(args)) {
        state.SkipWithError("vornak-slave did not start");
        return false;
    }
    ::setenv(("VORNAK_COM" + std::to_string(port)).c_str(), slave.Path().c_str(), 1);
    if (!master.Open(port, baud, 0)) {
        state.SkipWithError("the master could not open the line");
        return false;
    }
    return true;
}

// Reads the holding registers from 0 once per iteration; a failed read ends the run with its text.
inline void ReadsUntilDone(benchmark::State& state, CLocalModbus& master, std::uint16_t quantity) {
    WordArray values(quantity, 0);
    for (auto _ : state) {
        if (const std::uint16_t code = master.ReadHoldingRegisters(1, 0, quantity, values);
            code != kModbusOk) {
            state.SkipWithError(master.GetErrorText(code).c_str());
            break;
        }
    }
}
