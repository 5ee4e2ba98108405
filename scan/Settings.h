#pragma once

#include <cstdint>

#include "modbus/RegisterLine.h"
#include "protocol/Limits.h"

// The serial line and the scan period; section "Main Env" of the profile store.
struct MainEnv {
    std::uint8_t byPort = 0;         // port number - 1
    std::uint8_t byBaudRate = 3;     // index into kBaudRates; others mean 9600
    std::uint8_t byStopBits = 0;     // 0 one, others two
    std::uint8_t byParity = 0;       // 0 No, 1 Even, 2 Odd (the dialog's order)
    std::uint8_t byDataSize = 1;     // 0 seven bits, others eight
    std::uint8_t byFlowControl = 0;  // bit 0 DTR/DSR, bit 1 RTS/CTS, bit 2 XON/XOFF
    std::uint8_t byTransMode = 0;    // 0 RTU, 1 ASCII
    std::uint32_t dwTimeout = 1000;
    std::uint32_t dwSilentTime = 100;
    std::uint32_t dwScanTime = 1000;
};

// The polled request; section "ModBus Env".
struct ModbusEnv {
    std::uint8_t bySlaveId = 1;
    std::uint8_t byReadFunc = 0;  // 0 holding registers, 1 input registers
    std::uint16_t wReadAddr = 0;
    std::uint16_t wReadQuan = 8;
};

constexpr std::uint32_t kBaudRates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
constexpr int kReferenceBaseHolding = kReferenceBaseHoldingRegisters;
constexpr int kReferenceBaseInput = kReferenceBaseInputRegisters;
constexpr std::uint16_t kMaxRegisterQuantity = protocol::kMaxReadRegisters;
constexpr std::uint16_t kMaxCoilQuantity = protocol::kMaxReadBits;

// Values derived from MainEnv whenever the line is configured.
// 1 to 256: index 255 is "COM256", never "COM0".
int PortNumber(const MainEnv& env);
// The port number as the master takes it, in 8 bits where 0 would mean "the port it had": a
// number it cannot carry goes over as one it refuses, so the open fails instead of opening
// another port.
std::uint8_t MasterPort(const MainEnv& env);
std::uint32_t BaudRate(const MainEnv& env);
std::uint16_t DataBits(const MainEnv& env);
std::uint8_t StopBitsCode(const MainEnv& env);
std::uint8_t ParityCode(const MainEnv& env);
std::uint16_t QuantityLimit(std::uint8_t readFunc);
inline int ReferenceBase(int functionEntry) {
    return functionEntry == 0 ? kReferenceBaseHolding : kReferenceBaseInput;
}
