#include "tools/slave/RegisterBank.h"

namespace slave {

CRegisterBank::CRegisterBank(int size)
    : m_nSize(size),
      m_holding(static_cast<std::size_t>(size), 0),
      m_coils(static_cast<std::size_t>(size), 0) {}

std::uint16_t CRegisterBank::InputRegister(int address, std::uint64_t elapsedMs) {
    return static_cast<std::uint16_t>((elapsedMs / 100 + static_cast<std::uint64_t>(address)) &
                                      0xFFFFU);
}

bool CRegisterBank::DiscreteInput(int address, std::uint64_t elapsedMs) {
    return ((elapsedMs / 1000 + static_cast<std::uint64_t>(address)) & 1U) != 0;
}

}  // namespace slave
