#pragma once

#include <cstdint>
#include <vector>

#include "tools/slave/RegisterBank.h"
#include "tools/slave/SimulatedModel.h"
#include "tools/slave/SlaveOptions.h"

namespace slave {

// The simulated device's data as the protocol library serves it: the bank's four tables, a
// FIFO queue, file records, the exception status outputs, the diagnostics and the identity.
// Input registers and discrete inputs move with the time; the caller says the time before each
// request.
class CSlaveDataModel : public ISimulatedModel {
public:
    // The bank stays the caller's; the options give the queue, the files and the identity.
    explicit CSlaveDataModel(CRegisterBank& bank, const SlaveOptions& options = {});

    void SetElapsed(std::uint64_t elapsedMs) override { m_nElapsedMs = elapsedMs; }

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
    protocol::CDeviceDiagnostics& Diagnostics() override { return m_diagnostics; }
    const protocol::DeviceIdentity& Identity() const override { return m_identity; }

    // What a file record holds before anything writes it, and a FIFO entry: see --help.
    static std::uint16_t FileRecordPattern(std::uint16_t file, std::uint16_t record);
    static std::uint16_t FifoPattern(std::size_t entry);

private:
    // Whether [start, start + count) lies in the bank.
    bool InBank(std::uint16_t start, std::size_t count) const;
    // The registers of a file from a record on, nullptr when the file or the range is missing.
    std::uint16_t* FileRange(std::uint16_t file, std::uint16_t record, std::size_t length);

    CRegisterBank& m_bank;
    std::uint64_t m_nElapsedMs = 0;
    std::uint16_t m_wFifoAddress;
    protocol::Words m_fifo;
    std::size_t m_nRecords;
    std::vector<protocol::Words> m_files;  // file 1 first
    protocol::CDeviceDiagnostics m_diagnostics;
    protocol::DeviceIdentity m_identity;
};

}  // namespace slave
