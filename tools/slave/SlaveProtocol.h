#pragma once

#include <cstdint>
#include <vector>

#include "tools/slave/DeviceIdentity.h"
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
    CSlaveProtocol(CRegisterBank& bank, int id) : m_bank(bank), m_ids{id} {}
    // Every address in ids answers, from the one bank, as the one device.
    CSlaveProtocol(CRegisterBank& bank, std::vector<int> ids, DeviceIdentity identity = {})
        : m_bank(bank), m_ids(std::move(ids)), m_identity(std::move(identity)) {}

    // These functions get exception 1, illegal function, as from a device without them.
    void Refuse(std::vector<int> functions) { m_refused = std::move(functions); }

    SlaveReply Handle(const Bytes& request, std::uint64_t elapsedMs);

private:
    Bytes Execute(const Bytes& request, std::uint64_t elapsedMs);
    Bytes WriteMultiple(const Bytes& request);
    Bytes ReadBits(const Bytes& request, int start, int quantity, std::uint64_t elapsedMs);
    Bytes ReadRegisters(const Bytes& request, int start, int quantity, std::uint64_t elapsedMs);

    CRegisterBank& m_bank;
    std::vector<int> m_ids;
    DeviceIdentity m_identity;
    std::vector<int> m_refused;
};

}  // namespace slave
