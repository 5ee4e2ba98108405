#pragma once

#include <map>
#include <utility>

#include "protocol/DataModel.h"

// A data model as sparse as the examples need: an address answers only once it was given a
// value, so the examples' holes answer exception 2 as a device's would.
class CExampleModel : public protocol::IDataModel {
public:
    std::map<std::uint16_t, std::uint8_t> coils;
    std::map<std::uint16_t, std::uint8_t> discreteInputs;
    std::map<std::uint16_t, std::uint16_t> holding;
    std::map<std::uint16_t, std::uint16_t> input;
    std::uint8_t exceptionStatus = 0;
    std::map<std::uint16_t, protocol::Words> fifos;
    std::map<std::pair<std::uint16_t, std::uint16_t>, std::uint16_t> fileRecords;
    protocol::CDeviceDiagnostics diagnostics;
    protocol::DeviceIdentity identity;

    std::uint8_t ReadBits(protocol::Table table, std::uint16_t start, std::uint16_t count,
                          protocol::Bytes& bits) override {
        return Read(table == protocol::Table::Coils ? coils : discreteInputs, start, count, bits);
    }
    std::uint8_t WriteCoils(std::uint16_t start, const protocol::Bytes& bits) override {
        return Write(coils, start, bits);
    }
    std::uint8_t ReadRegisters(protocol::Table table, std::uint16_t start, std::uint16_t count,
                               protocol::Words& values) override {
        return Read(table == protocol::Table::HoldingRegisters ? holding : input, start, count,
                    values);
    }
    std::uint8_t WriteRegisters(std::uint16_t start, const protocol::Words& values) override {
        return Write(holding, start, values);
    }
    std::uint8_t ExceptionStatus() override { return exceptionStatus; }
    std::uint8_t ReadFifo(std::uint16_t address, protocol::Words& queue) override {
        const auto found = fifos.find(address);
        if (found == fifos.end()) {
            return protocol::kIllegalDataAddress;
        }
        queue = found->second;
        return protocol::kNoException;
    }
    std::uint8_t ReadFileRecord(std::uint16_t file, std::uint16_t record, std::uint16_t length,
                                protocol::Words& values) override {
        values.clear();
        for (std::uint16_t i = 0; i < length; ++i) {
            const auto found = fileRecords.find({file, static_cast<std::uint16_t>(record + i)});
            if (found == fileRecords.end()) {
                return protocol::kIllegalDataAddress;
            }
            values.push_back(found->second);
        }
        return protocol::kNoException;
    }
    std::uint8_t WriteFileRecord(std::uint16_t file, std::uint16_t record,
                                 const protocol::Words& values) override {
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (!fileRecords.contains({file, static_cast<std::uint16_t>(record + i)})) {
                return protocol::kIllegalDataAddress;
            }
        }
        for (std::size_t i = 0; i < values.size(); ++i) {
            fileRecords[{file, static_cast<std::uint16_t>(record + i)}] = values[i];
        }
        return protocol::kNoException;
    }
    protocol::CDeviceDiagnostics& Diagnostics() override { return diagnostics; }
    const protocol::DeviceIdentity& Identity() const override { return identity; }

private:
    template <typename T, typename Out>
    static std::uint8_t Read(const std::map<std::uint16_t, T>& table, std::uint16_t start,
                             std::uint16_t count, Out& out) {
        out.clear();
        for (std::uint32_t a = start; a < std::uint32_t{start} + count; ++a) {
            const auto found = table.find(static_cast<std::uint16_t>(a));
            if (found == table.end()) {
                return protocol::kIllegalDataAddress;
            }
            out.push_back(found->second);
        }
        return protocol::kNoException;
    }
    template <typename T, typename In>
    static std::uint8_t Write(std::map<std::uint16_t, T>& table, std::uint16_t start,
                              const In& values) {
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (!table.contains(static_cast<std::uint16_t>(start + i))) {
                return protocol::kIllegalDataAddress;
            }
        }
        for (std::size_t i = 0; i < values.size(); ++i) {
            table[static_cast<std::uint16_t>(start + i)] = static_cast<T>(values[i]);
        }
        return protocol::kNoException;
    }
};
