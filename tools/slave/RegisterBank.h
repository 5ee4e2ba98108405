#pragma once

#include <cstdint>
#include <vector>

namespace slave {

// The four data tables of the simulated device. Holding registers and coils are plain memory
// that starts at 0; input registers and discrete inputs are derived from the time since the
// start, so that a master polling them sees values move.
class CRegisterBank {
public:
    explicit CRegisterBank(int size);

    int Size() const { return m_nSize; }

    std::uint16_t HoldingRegister(int address) const { return m_holding[address]; }
    void SetHoldingRegister(int address, std::uint16_t value) { m_holding[address] = value; }
    bool Coil(int address) const { return m_coils[address] != 0; }
    void SetCoil(int address, bool on) { m_coils[address] = on ? 1 : 0; }

    // (tenths of a second + address) & 0xFFFF.
    static std::uint16_t InputRegister(int address, std::uint64_t elapsedMs);
    // On while (whole seconds + address) is odd.
    static bool DiscreteInput(int address, std::uint64_t elapsedMs);

private:
    int m_nSize;
    std::vector<std::uint16_t> m_holding;
    std::vector<std::uint8_t> m_coils;
};

}  // namespace slave
