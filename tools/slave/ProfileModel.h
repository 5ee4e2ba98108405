#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "tools/profile/DeviceProfile.h"
#include "tools/slave/SimulatedModel.h"
#include "tools/slave/SlaveDataModel.h"
#include "tools/slave/SlaveOptions.h"

namespace slave {

// A device as its profile describes it: only the addresses its points cover exist (the rest
// answer illegal data address), a write to a point that is not writable gets the profile's
// exception, and points move by their motion with the time. The FIFO queue, the file records
// and the counters are those of the table device, one set for each unit.
class CProfileModel : public ISimulatedModel {
public:
    // options give the FIFO and files; identity is what the unit says of itself.
    CProfileModel(profile::DeviceProfile profile, const SlaveOptions& options,
                  protocol::DeviceIdentity identity, std::uint32_t seed);

    void SetElapsed(std::uint64_t elapsedMs) override;

    std::uint8_t ReadBits(protocol::Table table, std::uint16_t start, std::uint16_t count,
                          protocol::Bytes& bits) override;
    std::uint8_t WriteCoils(std::uint16_t start, const protocol::Bytes& bits) override;
    std::uint8_t ReadRegisters(protocol::Table table, std::uint16_t start, std::uint16_t count,
                               protocol::Words& values) override;
    std::uint8_t WriteRegisters(std::uint16_t start, const protocol::Words& values) override;
    std::uint8_t ExceptionStatus() override;
    std::uint8_t ReadFifo(std::uint16_t address, protocol::Words& queue) override;
    std::uint8_t ReadFileRecord(std::uint16_t file, std::uint16_t record, std::uint16_t length,
                                protocol::Words& values) override;
    std::uint8_t WriteFileRecord(std::uint16_t file, std::uint16_t record,
                                 const protocol::Words& values) override;
    protocol::CDeviceDiagnostics& Diagnostics() override { return m_records.Diagnostics(); }
    const protocol::DeviceIdentity& Identity() const override { return m_identity; }

    const profile::DeviceProfile& Profile() const { return m_profile; }
    // The point's value in engineering units with its unit ("230.5 V"); none when unknown.
    std::optional<std::string> Get(std::string_view name) const;
    // Sets a point whatever its writable flag says: the operator is not a master. A point whose
    // motion computes its value (sine, random, copy, clock, uptime) then holds it until
    // UnstickAll; a counter or a toggle goes on from it. Empty when done, else why not.
    std::string Set(std::string_view name, std::string_view value);
    // The point stops moving and keeps its value against writes, until Unstick.
    bool Stick(std::string_view name);
    void UnstickAll();
    // "name=value unit" for every point, in file order.
    std::vector<std::string> Dump() const;

private:
    // One register or bit of a table that a point covers.
    struct Cell {
        std::uint16_t address = 0;
        std::uint16_t value = 0;
        bool writable = false;
        bool stuck = false;
    };
    struct Live {
        std::size_t cell = 0;  // the point's first cell in its table
        std::uint64_t lastStepMs = 0;
        bool stuck = false;
        std::optional<std::size_t> source;  // copy: the point it repeats
    };

    std::vector<Cell>& Cells(profile::PointTable table);
    const std::vector<Cell>& Cells(profile::PointTable table) const;
    // The cells of [start, start + count), nullptr when an address is not covered.
    Cell* Range(profile::PointTable table, std::uint16_t start, std::size_t count);
    std::optional<std::size_t> IndexOf(std::string_view name) const;
    protocol::Words Words(std::size_t point) const;
    std::string Shown(std::size_t point) const;
    bool Store(std::size_t point, const protocol::Words& words);
    void Move(std::size_t point, std::uint64_t elapsedMs);

    profile::DeviceProfile m_profile;
    std::vector<Cell> m_tables[4];
    std::vector<Live> m_live;
    std::vector<std::size_t> m_moving;  // copies last, so they repeat this moment's values
    CRegisterBank m_noBank;
    CSlaveDataModel m_records;
    protocol::DeviceIdentity m_identity;
    std::mt19937 m_random;
};

}  // namespace slave
