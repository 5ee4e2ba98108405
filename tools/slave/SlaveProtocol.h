#pragma once

#include <cstdint>

#include "tools/slave/RegisterBank.h"
#include "tools/slave/SlaveChecks.h"

namespace slave {

constexpr std::uint8_t kIllegalFunction = 1;
constexpr std::uint8_t kIllegalDataAddress = 2;
constexpr std::uint8_t kIllegalDataValue = 3;

struct SlaveReply {
    enum class Kind {
        Answer,     // answer holds the message to send back
        Broadcast,  // address 0: executed, never answered
        OtherId,    // meant for another slave: ignored
        Short,      // too short to carry an address and a function: ignored
    };
    Kind kind = Kind::Short;
    Bytes answer;  // address, function and data, without the check
};

// Turns one request message (address, function, data; the check already removed) into the
// answer message. Knows nothing of framing or time, so every rule is testable on its own.
class CSlaveProtocol {
public:
    CSlaveProtocol(CRegisterBank& bank, int id) : m_bank(bank), m_nId(id) {}

    SlaveReply Handle(const Bytes& request, std::uint64_t elapsedMs);

private:
    Bytes Execute(const Bytes& request, std::uint64_t elapsedMs);
    Bytes WriteMultiple(const Bytes& request);
    Bytes ReadBits(const Bytes& request, int start, int quantity, std::uint64_t elapsedMs);
    Bytes ReadRegisters(const Bytes& request, int start, int quantity, std::uint64_t elapsedMs);

    CRegisterBank& m_bank;
    int m_nId;
};

}  // namespace slave
