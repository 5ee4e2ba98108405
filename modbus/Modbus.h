#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ModbusException.h"
#include "Object.h"
#include "platform/CriticalSection.h"

using ByteArray = std::vector<std::uint8_t>;
using WordArray = std::vector<std::uint16_t>;

// Result codes of every request; 0x8000 + n is slave exception n.
constexpr std::uint16_t kModbusOk = 0;
constexpr std::uint16_t kModbusTimeout = 1;
constexpr std::uint16_t kModbusInvalidResponse = 2;
constexpr std::uint16_t kModbusCrcError = 3;
constexpr std::uint16_t kModbusWriteError = 8;
constexpr std::uint16_t kModbusReadError = 9;
constexpr std::uint16_t kModbusPortNotOpen = 10;
constexpr std::uint16_t kModbusLockTimeout = 11;
constexpr std::uint16_t kModbusException = 0x8000;

// Function codes.
constexpr std::uint8_t kFuncReadCoils = 1;
constexpr std::uint8_t kFuncReadDiscreteInputs = 2;
constexpr std::uint8_t kFuncReadHoldingRegisters = 3;
constexpr std::uint8_t kFuncReadInputRegisters = 4;
constexpr std::uint8_t kFuncWriteSingleCoil = 5;
constexpr std::uint8_t kFuncWriteSingleRegister = 6;

// The abstract Modbus master: builds the six requests, checks answers, unpacks data. The
// exchange on the line is the derived class's Transact.
class CModbus : public CObject {
public:
    CModbus();
    ~CModbus() override;
    CModbus(const CModbus&) = delete;
    CModbus& operator=(const CModbus&) = delete;

    const char* GetRuntimeClassName() const override { return "CModbus"; }

    // Exchanges request[0, requestLength) and fills response with the answer's address,
    // function and data, without the check. expectedLength 0 leaves the length open.
    virtual std::uint16_t Transact(ByteArray& request, std::uint16_t requestLength,
                                   ByteArray& response, std::uint16_t expectedLength,
                                   std::uint16_t* receivedLength) = 0;
    virtual std::string GetErrorText(std::uint16_t code) const;
    virtual bool IsPortOpen() const = 0;

    std::uint16_t ReadCoils(std::uint8_t slave, std::uint16_t start, std::uint16_t quantity,
                            ByteArray& states);
    std::uint16_t ReadDiscreteInputs(std::uint8_t slave, std::uint16_t start,
                                     std::uint16_t quantity, ByteArray& states);
    std::uint16_t ReadHoldingRegisters(std::uint8_t slave, std::uint16_t start,
                                       std::uint16_t quantity, WordArray& values);
    std::uint16_t ReadInputRegisters(std::uint8_t slave, std::uint16_t start,
                                     std::uint16_t quantity, WordArray& values);
    std::uint16_t PresetSingleCoil(std::uint8_t slave, std::uint16_t address, std::uint16_t state);
    std::uint16_t PresetSingleRegister(std::uint8_t slave, std::uint16_t address,
                                       std::uint16_t value);

    bool Lock();
    void Unlock();

    void ThrowIfError(std::uint16_t code);

protected:
    CCriticalSection m_lock;
    std::uint16_t m_wTries;
    std::uint32_t m_dwLockTimeout;
    std::uint32_t m_dwErrorDelay;
    bool m_bThrowOnError;

private:
    static ByteArray BuildRequest(std::uint8_t slave, std::uint8_t function, std::uint16_t address,
                                  std::uint16_t data);
    static std::uint16_t CheckAnswer(const ByteArray& request, const ByteArray& response,
                                     std::size_t answerLength);
    // The request cycle: exchange, check, unpack on success, up to m_wTries times.
    std::uint16_t RunRequest(const ByteArray& request, std::size_t answerLength,
                             const std::function<void(const ByteArray&)>& unpack);
    std::uint16_t ReadBits(std::uint8_t slave, std::uint8_t function, std::uint16_t start,
                           std::uint16_t quantity, ByteArray& states);
    std::uint16_t ReadWords(std::uint8_t slave, std::uint8_t function, std::uint16_t start,
                            std::uint16_t quantity, WordArray& values);
};
