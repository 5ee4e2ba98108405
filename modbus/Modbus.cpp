#include "modbus/Modbus.h"

#include <algorithm>
#include <limits>

#include "protocol/functions/Functions.h"

namespace {

constexpr std::size_t kAddressLength = 1;       // what a message carries before its PDU
constexpr std::uint16_t kWriteEchoLength = 6;   // also the answer to 15 and 16: start and count
constexpr std::uint16_t kReadHeaderLength = 3;  // slave, function, byte count
// slave, function, MEI, code, conformity, more follows, next object, object count
constexpr std::size_t kDeviceIdHeaderLength = 8;

// Quantities no slave can answer would wrap the 16-bit length; the largest length keeps them
// impossible to satisfy, so the exchange fails instead of reading past the answer.
std::uint16_t ClampLength(std::size_t length) {
    return static_cast<std::uint16_t>(
        std::min<std::size_t>(length, std::numeric_limits<std::uint16_t>::max()));
}

// The message of a PDU to slave.
ByteArray Message(std::uint8_t slave, const protocol::Bytes& pdu) {
    ByteArray message;
    message.reserve(kAddressLength + pdu.size());
    message.push_back(slave);
    message.insert(message.end(), pdu.begin(), pdu.end());
    return message;
}

protocol::PduView PduOf(const ByteArray& message) {
    return protocol::PduView(message).subspan(kAddressLength);
}

bool IsWrite(std::uint8_t function) {
    return function == protocol::kWriteSingleCoil || function == protocol::kWriteSingleRegister ||
           function == protocol::kWriteMultipleCoils ||
           function == protocol::kWriteMultipleRegisters;
}

}  // namespace

CModbus::CModbus() : m_wTries(1), m_dwLockTimeout(100), m_dwErrorDelay(0), m_bThrowOnError(false) {}

CModbus::~CModbus() = default;

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
    return RunRequest(
        Message(slave, protocol::BuildReadBitsRequest(function, {start, quantity})),
        kAddressLength + protocol::ReadBitsAnswerLength(quantity), [&](const ByteArray& response) {
            if (states.size() < quantity) {
                states.resize(quantity, 0);
            }
            const protocol::Bytes bits = protocol::BitsOfAnswer(PduOf(response), quantity);
            std::copy(bits.begin(), bits.end(), states.begin());
        });
}

std::uint16_t CModbus::ReadWords(std::uint8_t slave, std::uint8_t function, std::uint16_t start,
                                 std::uint16_t quantity, WordArray& values) {
    // A failed read hands back zeros, never the previous values.
    WordArray scratch(values.size(), 0);
    const std::uint16_t code = RunRequest(
        Message(slave, protocol::BuildReadRegistersRequest(function, {start, quantity})),
        kAddressLength + protocol::ReadRegistersAnswerLength(quantity),
        [&](const ByteArray& response) {
            if (scratch.size() < quantity) {
                scratch.resize(quantity, 0);
            }
            const protocol::Words words = protocol::RegistersOfAnswer(PduOf(response), quantity);
            std::copy(words.begin(), words.end(), scratch.begin());
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
    return RunRequest(Message(slave, protocol::BuildWriteSingleCoil(address, state == 1)),
                      kWriteEchoLength, nullptr);
}

std::uint16_t CModbus::PresetSingleRegister(std::uint8_t slave, std::uint16_t address,
                                            std::uint16_t value) {
    return RunRequest(Message(slave, protocol::BuildWriteSingleRegister({address, value})),
                      kWriteEchoLength, nullptr);
}

std::uint16_t CModbus::PresetMultipleRegisters(std::uint8_t slave, std::uint16_t start,
                                               const WordArray& values) {
    if (values.empty() || values.size() > kMaxWriteRegisters) {
        ThrowIfError(kModbusBadRequest);
        return kModbusBadRequest;
    }
    return RunRequest(Message(slave, protocol::BuildWriteMultipleRegistersRequest({start, values})),
                      kWriteEchoLength, nullptr);
}

std::uint16_t CModbus::ForceMultipleCoils(std::uint8_t slave, std::uint16_t start,
                                          const ByteArray& states) {
    if (states.empty() || states.size() > kMaxWriteCoils) {
        ThrowIfError(kModbusBadRequest);
        return kModbusBadRequest;
    }
    return RunRequest(Message(slave, protocol::BuildWriteMultipleCoilsRequest({start, states})),
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
