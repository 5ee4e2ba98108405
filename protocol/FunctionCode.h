#pragma once

#include <cstdint>

namespace protocol {

// The public function codes, as the application protocol numbers them.
enum FunctionCode : std::uint8_t {
    kReadCoils = 1,
    kReadDiscreteInputs = 2,
    kReadHoldingRegisters = 3,
    kReadInputRegisters = 4,
    kWriteSingleCoil = 5,
    kWriteSingleRegister = 6,
    kReadExceptionStatus = 7,
    kDiagnostics = 8,
    kGetCommEventCounter = 11,
    kGetCommEventLog = 12,
    kWriteMultipleCoils = 15,
    kWriteMultipleRegisters = 16,
    kReportServerId = 17,
    kReadFileRecord = 20,
    kWriteFileRecord = 21,
    kMaskWriteRegister = 22,
    kReadWriteMultipleRegisters = 23,
    kReadFifoQueue = 24,
    kEncapsulatedInterface = 43,
};

// Set in an answer's function code when it carries an exception code instead of data.
constexpr std::uint8_t kExceptionFlag = 0x80;

// Function 43's MEI type for Read Device Identification.
constexpr std::uint8_t kMeiDeviceIdentification = 14;

}  // namespace protocol
