#include "modbus/Modbus.h"

#include <algorithm>
#include <limits>

namespace {

constexpr std::uint16_t kWriteEchoLength = 6;   // also the answer to 15 and 16: start and count
constexpr std::uint16_t kReadHeaderLength = 3;  // slave, function, byte count
// slave, function, MEI, code, conformity, more follows, next object, object count
constexpr std::size_t kDeviceIdHeaderLength = 8;
constexpr std::uint16_t kCoilOn = 0xFF00;
constexpr std::uint16_t kCoilOff = 0x0000;

std::uint8_t HighByte(std::uint16_t value) {
    return static_cast<std::uint8_t>(value >> 8);
}

std::uint8_t LowByte(std::uint16_t value) {
    return static_cast<std::uint8_t>(value & 0xFF);
}

// Quantities no slave can answer would wrap the 16-bit length; the largest length keeps them
// impossible to satisfy, so the exchange fails instead of reading past the answer.
std::uint16_t ClampLength(std::size_t length) {
    return static_cast<std::uint16_t>(
        std::min<std::size_t>(length, std::numeric_limits<std::uint16_t>::max()));
}

std::size_t CoilAnswerLength(std::uint16_t quantity) {
    return (static_cast<std::size_t>(quantity) + 7) / 8 + kReadHeaderLength;
}

std::size_t RegisterAnswerLength(std::uint16_t quantity) {
    return 2 * static_cast<std::size_t>(quantity) + kReadHeaderLength;
}

bool IsWrite(std::uint8_t function) {
    return function == kFuncWriteSingleCoil || function == kFuncWriteSingleRegister ||
           function == kFuncWriteMultipleCoils || function == kFuncWriteMultipleRegisters;
}

}  // namespace

CModbus::CModbus() : m_wTries(1), m_dwLockTimeout(100), m_dwErrorDelay(0), m_bThrowOnError(false) {}

CModbus::~CModbus() = default;

ByteArray CModbus::BuildRequest(std::uint8_t slave, std::uint8_t function, std::uint16_t address,
                                std::uint16_t data) {
    return {slave, function, HighByte(address), LowByte(address), HighByte(data), LowByte(data)};
}

// Functions 15 and 16: the six bytes of the others, then the data's byte count and the data.
ByteArray CModbus::BuildWrite(std::uint8_t slave, std::uint8_t function, std::uint16_t start,
                              std::uint16_t quantity, const ByteArray& data) {
    ByteArray request = BuildRequest(slave, function, start, quantity);
    request.push_back(static_cast<std::uint8_t>(data.size()));
    request.insert(request.end(), data.begin(), data.end());
    return request;
}

std::uint16_t CModbus::Send(ByteArray& request, std::uint16_t requestLength) {
    ByteArray response;
    const std::uint16_t code = Transact(request, requestLength, response, 0, nullptr);
    return code == kModbusTimeout ? kModbusOk : code;
}

std::uint16_t CModbus::CheckAnswer(const ByteArray& request, const ByteArray& response,
                                   std::size_t answerLength) {
    if (response.size() < answerLength) {
        return kModbusInvalidResponse;
    }
    const std::uint8_t function = request[1];
    if (IsWrite(function)) {
        return std::equal(request.begin(), request.begin() + kWriteEchoLength, response.begin())
                   ? kModbusOk
                   : kModbusInvalidResponse;
    }
    return response[0] == request[0] && response[1] == function ? kModbusOk
                                                                : kModbusInvalidResponse;
}

std::uint16_t CModbus::RunRequest(const ByteArray& request, std::size_t answerLength,
                                  const std::function<void(const ByteArray&)>& unpack) {
    return RunRequest(request, ClampLength(answerLength), answerLength,
                      [&unpack](const ByteArray& response) {
                          if (unpack) {
                              unpack(response);
                          }
                          return kModbusOk;
                      });
}

std::uint16_t CModbus::RunRequest(const ByteArray& request, std::uint16_t expectedLength,
                                  std::size_t checkedLength,
                                  const std::function<std::uint16_t(const ByteArray&)>& parse) {
    const auto requestLength = static_cast<std::uint16_t>(request.size());
    if (m_bBroadcast && request[0] == kBroadcastSlave) {
        std::uint16_t code = kModbusBadRequest;
        if (IsWrite(request[1])) {
            ByteArray sent = request;
            code = Send(sent, requestLength);
        }
        ThrowIfError(code);
        return code;
    }
    std::uint16_t code = kModbusOk;
    std::uint16_t tries = 0;
    do {
        ByteArray sent = request;  // Transact appends the check to its copy
        ByteArray response(expectedLength, 0);
        code = Transact(sent, requestLength, response, expectedLength, nullptr);
        if (code == kModbusOk) {
            code = CheckAnswer(request, response, checkedLength);
        }
        if (code == kModbusOk) {
            code = parse(response);
        }
        ++tries;
    } while (code != kModbusOk && tries < m_wTries);
    ThrowIfError(code);
    return code;
}

std::uint16_t CModbus::ReadDeviceIdentification(std::uint8_t slave, std::uint8_t code,
                                                std::uint8_t objectId, DeviceIdAnswer& answer) {
    const ByteArray request{slave, kFuncEncapsulated, kMeiDeviceIdentification, code, objectId};
    return RunRequest(request, 0, kDeviceIdHeaderLength, [&](const ByteArray& response) {
        if (response[2] != kMeiDeviceIdentification) {
            return kModbusInvalidResponse;
        }
        DeviceIdAnswer parsed;
        parsed.conformity = response[4];
        parsed.moreFollows = response[5] == 0xFF;
        parsed.nextObjectId = response[6];
        const std::uint8_t count = response[7];
        std::size_t at = kDeviceIdHeaderLength;
        for (std::uint8_t i = 0; i < count; ++i) {
            if (at + 2 > response.size() || at + 2 + response[at + 1] > response.size()) {
                return kModbusInvalidResponse;
            }
            const auto begin = response.begin() + static_cast<std::ptrdiff_t>(at + 2);
            parsed.objects.emplace_back(response[at], ByteArray(begin, begin + response[at + 1]));
            at += 2 + response[at + 1];
        }
        if (at != response.size()) {
            return kModbusInvalidResponse;
        }
        answer = std::move(parsed);
        return kModbusOk;
    });
}

std::uint16_t CModbus::ReportSlaveId(std::uint8_t slave, ByteArray& data) {
    return RunRequest({slave, kFuncReportSlaveId}, 0, kReadHeaderLength,
                      [&](const ByteArray& response) {
                          if (response[2] != response.size() - kReadHeaderLength) {
                              return kModbusInvalidResponse;
                          }
                          data.assign(response.begin() + kReadHeaderLength, response.end());
                          return kModbusOk;
                      });
}

std::uint16_t CModbus::ReadBits(std::uint8_t slave, std::uint8_t function, std::uint16_t start,
                                std::uint16_t quantity, ByteArray& states) {
    // States change only on success, so a failed read leaves the caller's last picture.
    return RunRequest(BuildRequest(slave, function, start, quantity), CoilAnswerLength(quantity),
                      [&](const ByteArray& response) {
                          if (states.size() < quantity) {
                              states.resize(quantity, 0);
                          }
                          for (std::size_t j = 0; j < quantity; ++j) {
                              const std::uint8_t data = response[kReadHeaderLength + j / 8];
                              states[j] = (data >> (j % 8)) & 1;
                          }
                      });
}

std::uint16_t CModbus::ReadWords(std::uint8_t slave, std::uint8_t function, std::uint16_t start,
                                 std::uint16_t quantity, WordArray& values) {
    // A failed read hands back zeros, never the previous values.
    WordArray scratch(values.size(), 0);
    const std::uint16_t code = RunRequest(
        BuildRequest(slave, function, start, quantity), RegisterAnswerLength(quantity),
        [&](const ByteArray& response) {
            if (scratch.size() < quantity) {
                scratch.resize(quantity, 0);
            }
            for (std::size_t i = 0; i < quantity; ++i) {
                const std::size_t at = kReadHeaderLength + 2 * i;
                scratch[i] = static_cast<std::uint16_t>(response[at] * 256 + response[at + 1]);
            }
        });
    values = scratch;
    return code;
}

std::uint16_t CModbus::ReadCoils(std::uint8_t slave, std::uint16_t start, std::uint16_t quantity,
                                 ByteArray& states) {
    return ReadBits(slave, kFuncReadCoils, start, quantity, states);
}

std::uint16_t CModbus::ReadDiscreteInputs(std::uint8_t slave, std::uint16_t start,
                                          std::uint16_t quantity, ByteArray& states) {
    return ReadBits(slave, kFuncReadDiscreteInputs, start, quantity, states);
}

std::uint16_t CModbus::ReadHoldingRegisters(std::uint8_t slave, std::uint16_t start,
                                            std::uint16_t quantity, WordArray& values) {
    return ReadWords(slave, kFuncReadHoldingRegisters, start, quantity, values);
}

std::uint16_t CModbus::ReadInputRegisters(std::uint8_t slave, std::uint16_t start,
                                          std::uint16_t quantity, WordArray& values) {
    return ReadWords(slave, kFuncReadInputRegisters, start, quantity, values);
}

std::uint16_t CModbus::PresetSingleCoil(std::uint8_t slave, std::uint16_t address,
                                        std::uint16_t state) {
    const std::uint16_t data = state == 1 ? kCoilOn : kCoilOff;
    return RunRequest(BuildRequest(slave, kFuncWriteSingleCoil, address, data), kWriteEchoLength,
                      nullptr);
}

std::uint16_t CModbus::PresetSingleRegister(std::uint8_t slave, std::uint16_t address,
                                            std::uint16_t value) {
    return RunRequest(BuildRequest(slave, kFuncWriteSingleRegister, address, value),
                      kWriteEchoLength, nullptr);
}

std::uint16_t CModbus::PresetMultipleRegisters(std::uint8_t slave, std::uint16_t start,
                                               const WordArray& values) {
    if (values.empty() || values.size() > kMaxWriteRegisters) {
        ThrowIfError(kModbusBadRequest);
        return kModbusBadRequest;
    }
    ByteArray data;
    data.reserve(2 * values.size());
    for (const std::uint16_t value : values) {
        data.push_back(HighByte(value));
        data.push_back(LowByte(value));
    }
    const auto quantity = static_cast<std::uint16_t>(values.size());
    return RunRequest(BuildWrite(slave, kFuncWriteMultipleRegisters, start, quantity, data),
                      kWriteEchoLength, nullptr);
}

std::uint16_t CModbus::ForceMultipleCoils(std::uint8_t slave, std::uint16_t start,
                                          const ByteArray& states) {
    if (states.empty() || states.size() > kMaxWriteCoils) {
        ThrowIfError(kModbusBadRequest);
        return kModbusBadRequest;
    }
    ByteArray data((states.size() + 7) / 8, 0);
    for (std::size_t j = 0; j < states.size(); ++j) {
        if (states[j] != 0) {
            data[j / 8] = static_cast<std::uint8_t>(data[j / 8] | 1u << (j % 8));
        }
    }
    const auto quantity = static_cast<std::uint16_t>(states.size());
    return RunRequest(BuildWrite(slave, kFuncWriteMultipleCoils, start, quantity, data),
                      kWriteEchoLength, nullptr);
}

bool CModbus::Lock() {
    return m_lock.Lock(m_dwLockTimeout);
}

void CModbus::Unlock() {
    m_lock.Unlock();
}

void CModbus::ThrowIfError(std::uint16_t code) {
    if (code != kModbusOk && m_bThrowOnError) {
        throw new CModbusException(GetErrorText(code), code);
    }
}

std::string CModbus::GetErrorText(std::uint16_t code) const {
    if (code >= kModbusException) {
        return "Slave Device Return an Exception Code " + std::to_string(code - kModbusException);
    }
    switch (code) {
        case kModbusOk:
            return "OK";
        case kModbusTimeout:
            return "Time-out Error";
        case kModbusInvalidResponse:
            return "Invalid Returned Slave Response";
        case kModbusCrcError:
            return "CRC Error";
        case kModbusWriteError:
            return "Write Communication Error";
        case kModbusReadError:
            return "Read Communication Error";
        case kModbusPortNotOpen:
            return "Comm Port Not Opened";
        case kModbusLockTimeout:
            return "Critical Section Lock Time-out Error";
        case kModbusBadRequest:
            return "Invalid Request";
        default:
            return "";
    }
}
