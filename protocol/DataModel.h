#pragma once

#include <cstdint>

#include "protocol/DeviceDiagnostics.h"
#include "protocol/DeviceIdentity.h"
#include "protocol/Pdu.h"

namespace protocol {

// The four data tables of the data model.
enum class Table : std::uint8_t { Coils, DiscreteInputs, HoldingRegisters, InputRegisters };

// What a device serves requests from. Every call answers kNoException, or the exception the
// request gets (kIllegalDataAddress for addresses the device lacks); a call that fails changes
// nothing. The function files check a request's own rules (counts, byte counts) first.
class IDataModel {
public:
    virtual ~IDataModel() = default;

    virtual std::uint8_t ReadBits(Table table, std::uint16_t start, std::uint16_t count,
                                  Bytes& bits) = 0;
    virtual std::uint8_t WriteCoils(std::uint16_t start, const Bytes& bits) = 0;
    virtual std::uint8_t ReadRegisters(Table table, std::uint16_t start, std::uint16_t count,
                                       Words& values) = 0;
    virtual std::uint8_t WriteRegisters(std::uint16_t start, const Words& values) = 0;
    // Function 7: the device's eight exception status outputs.
    virtual std::uint8_t ExceptionStatus() = 0;
    // Function 24: the queue at a FIFO pointer address, oldest first.
    virtual std::uint8_t ReadFifo(std::uint16_t address, Words& queue) = 0;
    // Functions 20 and 21: length registers of a file from a record number on.
    virtual std::uint8_t ReadFileRecord(std::uint16_t file, std::uint16_t record,
                                        std::uint16_t length, Words& values) = 0;
    virtual std::uint8_t WriteFileRecord(std::uint16_t file, std::uint16_t record,
                                         const Words& values) = 0;
    // Functions 8, 11 and 12.
    virtual CDeviceDiagnostics& Diagnostics() = 0;
    // Functions 17 and 43/14.
    virtual const DeviceIdentity& Identity() const = 0;
};

}  // namespace protocol
