#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Reference numbers: the number users read for the first entry of each table.
constexpr int kReferenceBaseCoils = 1;
constexpr int kReferenceBaseDiscreteInputs = 10001;
constexpr int kReferenceBaseInputRegisters = 30001;
constexpr int kReferenceBaseHoldingRegisters = 40001;

// The base for read function 1 to 4; 0 for any other.
int ReferenceBaseOf(std::uint8_t function);

constexpr std::size_t kRegisterLineCapacity = 96;

// One register as a list line: "[Address : 0x%04x / %d ] = 0x%04x, %d". The address is
// startAddress + index as a full int, so a request that runs past 0xFFFF shows 0x10000 and
// beyond instead of wrapping. Fills `out` and returns the length (no terminator).
std::size_t FormatRegisterLine(char (&out)[kRegisterLineCapacity], std::uint16_t startAddress,
                               int index, int referenceBase, std::uint16_t value);
std::string FormatRegisterLine(std::uint16_t startAddress, int index, int referenceBase,
                               std::uint16_t value);
