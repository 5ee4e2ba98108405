#include "tools/slave/SlaveDataModel.h"

#include <algorithm>

namespace slave {

namespace {

using protocol::kIllegalDataAddress;
using protocol::kNoException;

// The exception status outputs are coils 0 to 7, so a master sets them with functions 5 and 15.
constexpr int kStatusOutputs = 8;
constexpr std::uint16_t kFifoPatternBase = 0xF000;

}  // namespace

CSlaveDataModel::CSlaveDataModel(CRegisterBank& bank, const SlaveOptions& options)
    : m_bank(bank),
      m_wFifoAddress(static_cast<std::uint16_t>(options.fifoAddress)),
      m_nRecords(static_cast<std::size_t>(options.records)),
      m_identity(ServedIdentity(options.identity)) {
    for (int i = 0; i < options.fifoSize; ++i) {
        m_fifo.push_back(FifoPattern(static_cast<std::size_t>(i)));
    }
    for (int file = 1; file <= options.files; ++file) {
        protocol::Words records(m_nRecords);
        for (std::size_t r = 0; r < m_nRecords; ++r) {
            records[r] =
                FileRecordPattern(static_cast<std::uint16_t>(file), static_cast<std::uint16_t>(r));
        }
        m_files.push_back(std::move(records));
    }
}

std::uint16_t CSlaveDataModel::FileRecordPattern(std::uint16_t file, std::uint16_t record) {
    return static_cast<std::uint16_t>((file & 0xFF) << 8 | (record & 0xFF));
}

std::uint16_t CSlaveDataModel::FifoPattern(std::size_t entry) {
    return static_cast<std::uint16_t>(kFifoPatternBase + entry);
}

bool CSlaveDataModel::InBank(std::uint16_t start, std::size_t count) const {
    return static_cast<std::size_t>(start) + count <= static_cast<std::size_t>(m_bank.Size());
}

std::uint8_t CSlaveDataModel::ReadBits(protocol::Table table, std::uint16_t start,
                                       std::uint16_t count, protocol::Bytes& bits) {
    if (table != protocol::Table::Coils && table != protocol::Table::DiscreteInputs) {
        return kIllegalDataAddress;
    }
    if (!InBank(start, count)) {
        return kIllegalDataAddress;
    }
    bits.assign(count, 0);
    for (int j = 0; j < count; ++j) {
        const int address = start + j;
        const bool on = table == protocol::Table::Coils
                            ? m_bank.Coil(address)
                            : CRegisterBank::DiscreteInput(address, m_nElapsedMs);
        bits[static_cast<std::size_t>(j)] = on ? 1 : 0;
    }
    return kNoException;
}

std::uint8_t CSlaveDataModel::WriteCoils(std::uint16_t start, const protocol::Bytes& bits) {
    if (!InBank(start, bits.size())) {
        return kIllegalDataAddress;
    }
    for (std::size_t j = 0; j < bits.size(); ++j) {
        m_bank.SetCoil(start + static_cast<int>(j), bits[j] != 0);
    }
    return kNoException;
}

std::uint8_t CSlaveDataModel::ReadRegisters(protocol::Table table, std::uint16_t start,
                                            std::uint16_t count, protocol::Words& values) {
    if (table != protocol::Table::HoldingRegisters && table != protocol::Table::InputRegisters) {
        return kIllegalDataAddress;
    }
    if (!InBank(start, count)) {
        return kIllegalDataAddress;
    }
    values.assign(count, 0);
    for (int i = 0; i < count; ++i) {
        const int address = start + i;
        values[static_cast<std::size_t>(i)] =
            table == protocol::Table::HoldingRegisters
                ? m_bank.HoldingRegister(address)
                : CRegisterBank::InputRegister(address, m_nElapsedMs);
    }
    return kNoException;
}

std::uint8_t CSlaveDataModel::WriteRegisters(std::uint16_t start, const protocol::Words& values) {
    if (!InBank(start, values.size())) {
        return kIllegalDataAddress;
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
        m_bank.SetHoldingRegister(start + static_cast<int>(i), values[i]);
    }
    return kNoException;
}

std::uint8_t CSlaveDataModel::ExceptionStatus() {
    std::uint8_t status = 0;
    const int outputs = std::min(kStatusOutputs, m_bank.Size());
    for (int i = 0; i < outputs; ++i) {
        if (m_bank.Coil(i)) {
            status = static_cast<std::uint8_t>(status | 1U << i);
        }
    }
    return status;
}

std::uint8_t CSlaveDataModel::ReadFifo(std::uint16_t address, protocol::Words& queue) {
    if (address != m_wFifoAddress) {
        return kIllegalDataAddress;
    }
    queue = m_fifo;
    return kNoException;
}

std::uint16_t* CSlaveDataModel::FileRange(std::uint16_t file, std::uint16_t record,
                                          std::size_t length) {
    if (file == 0 || file > m_files.size() ||
        static_cast<std::size_t>(record) + length > m_nRecords) {
        return nullptr;
    }
    return m_files[file - 1U].data() + record;
}

std::uint8_t CSlaveDataModel::ReadFileRecord(std::uint16_t file, std::uint16_t record,
                                             std::uint16_t length, protocol::Words& values) {
    const std::uint16_t* from = FileRange(file, record, length);
    if (from == nullptr) {
        return kIllegalDataAddress;
    }
    values.assign(from, from + length);
    return kNoException;
}

std::uint8_t CSlaveDataModel::WriteFileRecord(std::uint16_t file, std::uint16_t record,
                                              const protocol::Words& values) {
    std::uint16_t* to = FileRange(file, record, values.size());
    if (to == nullptr) {
        return kIllegalDataAddress;
    }
    std::copy(values.begin(), values.end(), to);
    return kNoException;
}

}  // namespace slave
