#include "modbus/Modbus.h"

#include <algorithm>
#include <limits>

#include "protocol/functions/Functions.h"

namespace {

constexpr std::size_t kAddressLength = 1;       // what a message carries before its PDU
constexpr std::uint16_t kWriteEchoLength = 6;   // also the answer to 15 and 16: start and count
constexpr std::uint16_t kReadHeaderLength = 3;  // slave, function, byte count
constexpr std::size_t kAnswerHeaderLength = 2;  // slave and function, whatever follows
// An answer whose length only its own fields tell.
constexpr std::size_t kOpenLength = 0;

// Quantities no slave can answer would wrap the 16-bit length; the largest length keeps them
// impossible to satisfy, so the exchange fails instead of reading past the answer.
std::uint16_t ClampLength(std::size_t length) {
    return static_cast<std::uint16_t>(
        std::min<std::size_t>(length, std::numeric_limits<std::uint16_t>::max()));
}

// The message of a PDU to slave: the address goes in front, into the room the PDU keeps.
ByteArray Message(std::uint8_t slave, protocol::Bytes pdu) {
    pdu.insert(pdu.begin(), slave);
    return pdu;
}

protocol::PduView PduOf(const ByteArray& message) {
    return protocol::PduView(message).subspan(kAddressLength);
}

// The requests whose answer repeats the first six bytes of the request.
bool IsWrite(std::uint8_t function) {
    return function == protocol::kWriteSingleCoil || function == protocol::kWriteSingleRegister ||
           function == protocol::kWriteMultipleCoils ||
           function == protocol::kWriteMultipleRegisters;
}

// What a broadcast may carry: the requests that change a device and answer nothing of it.
bool MayBroadcast(std::uint8_t function) {
    const protocol::FunctionEntry* entry = protocol::FindFunction(function);
    return entry != nullptr && entry->broadcast;
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
    if (m_bBroadcast && request[0] == protocol::kBroadcastAddress) {
        std::uint16_t code = kModbusBadRequest;
        if (MayBroadcast(request[1])) {
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

std::uint16_t CModbus::RunPdu(std::uint8_t slave, const protocol::Bytes& pdu,
                              std::size_t answerLength,
                              const std::function<bool(protocol::PduView)>& read) {
    const std::size_t expected = answerLength == kOpenLength ? 0 : kAddressLength + answerLength;
    return RunRequest(Message(slave, pdu), ClampLength(expected), kAnswerHeaderLength,
                      [&read](const ByteArray& response) {
                          return read(PduOf(response)) ? kModbusOk : kModbusInvalidResponse;
                      });
}

std::uint16_t CModbus::ReadDeviceIdentification(std::uint8_t slave, std::uint8_t code,
                                                std::uint8_t objectId, DeviceIdAnswer& answer) {
    return RunPdu(slave, protocol::BuildDeviceIdRequest({code, objectId}), kOpenLength,
                  [&answer](protocol::PduView pdu) {
                      auto read = protocol::ReadDeviceIdAnswer(pdu);
                      if (!read) {
                          return false;
                      }
                      answer = {read->conformity, read->moreFollows, read->nextObjectId, {}};
                      for (const auto& [id, text] : read->objects) {
                          answer.objects.emplace_back(id, ByteArray(text.begin(), text.end()));
                      }
                      return true;
                  });
}

std::uint16_t CModbus::ReportSlaveId(std::uint8_t slave, ByteArray& data) {
    return RunPdu(slave, protocol::BuildReportServerIdRequest(), kOpenLength,
                  [&data](protocol::PduView pdu) {
                      auto read = protocol::ReadReportServerIdAnswer(pdu);
                      if (read) {
                          data = std::move(*read);
                      }
                      return read.has_value();
                  });
}

std::uint16_t CModbus::ReadExceptionStatus(std::uint8_t slave, std::uint8_t& status) {
    return RunPdu(slave, protocol::BuildReadExceptionStatusRequest(),
                  protocol::BuildReadExceptionStatusAnswer(0).size(),
                  [&status](protocol::PduView pdu) {
                      const auto read = protocol::ReadReadExceptionStatusAnswer(pdu);
                      status = read.value_or(status);
                      return read.has_value();
                  });
}

std::uint16_t CModbus::Diagnostics(std::uint8_t slave, std::uint16_t subFunction,
                                   const WordArray& data, WordArray& answer) {
    const protocol::Bytes request = protocol::BuildDiagnosticsRequest({subFunction, data});
    if (subFunction == protocol::kForceListenOnly) {
        // A device told to listen only answers nothing: once the request is out, it is done.
        ByteArray message = Message(slave, request);
        const std::uint16_t code = Send(message, static_cast<std::uint16_t>(message.size()));
        ThrowIfError(code);
        return code;
    }
    // Every other sub-function answers with as many words as it was sent, 0 echoing them.
    return RunPdu(slave, request, request.size(), [&](protocol::PduView pdu) {
        const auto read = protocol::ReadDiagnosticsAnswer(pdu);
        if (!read || read->subFunction != subFunction) {
            return false;
        }
        answer = read->data;
        return true;
    });
}

std::uint16_t CModbus::GetCommEventCounter(std::uint8_t slave, std::uint16_t& status,
                                           std::uint16_t& eventCount) {
    return RunPdu(slave, protocol::BuildGetCommEventCounterRequest(),
                  protocol::BuildGetCommEventCounterAnswer({}).size(), [&](protocol::PduView pdu) {
                      const auto read = protocol::ReadGetCommEventCounterAnswer(pdu);
                      if (read) {
                          status = read->status;
                          eventCount = read->eventCount;
                      }
                      return read.has_value();
                  });
}

std::uint16_t CModbus::GetCommEventLog(std::uint8_t slave, protocol::CommEventLog& log) {
    return RunPdu(slave, protocol::BuildGetCommEventLogRequest(), kOpenLength,
                  [&log](protocol::PduView pdu) {
                      auto read = protocol::ReadGetCommEventLogAnswer(pdu);
                      if (read) {
                          log = std::move(*read);
                      }
                      return read.has_value();
                  });
}

std::uint16_t CModbus::ReadFileRecord(std::uint8_t slave,
                                      const std::vector<protocol::FileRange>& ranges,
                                      std::vector<WordArray>& records) {
    std::string why;
    const protocol::Bytes request = protocol::BuildReadFileRecordRequest(ranges);
    if (!protocol::ReadReadFileRecordRequest(request, &why)) {
        return Refused();
    }
    return RunPdu(slave, request, protocol::ReadFileRecordAnswerLength(ranges),
                  [&](protocol::PduView pdu) {
                      auto read = protocol::ReadReadFileRecordAnswer(pdu);
                      if (!read || read->size() != ranges.size()) {
                          return false;
                      }
                      for (std::size_t i = 0; i < ranges.size(); ++i) {
                          if ((*read)[i].size() != ranges[i].length) {
                              return false;
                          }
                      }
                      records = std::move(*read);
                      return true;
                  });
}

std::uint16_t CModbus::WriteFileRecord(std::uint8_t slave,
                                       const std::vector<protocol::FileWrite>& writes) {
    const protocol::Bytes request = protocol::BuildWriteFileRecordRequest(writes);
    if (!protocol::ReadWriteFileRecordRequest(request)) {
        return Refused();
    }
    return RunPdu(slave, request, request.size(), [&request](protocol::PduView pdu) {
        return std::equal(pdu.begin(), pdu.end(), request.begin(), request.end());
    });
}

std::uint16_t CModbus::MaskWriteRegister(std::uint8_t slave, std::uint16_t address,
                                         std::uint16_t andMask, std::uint16_t orMask) {
    const protocol::MaskWrite mask{address, andMask, orMask};
    const protocol::Bytes request = protocol::BuildMaskWriteRegisterRequest(mask);
    return RunPdu(slave, request, request.size(), [&mask](protocol::PduView pdu) {
        return protocol::ReadMaskWriteRegisterAnswer(pdu) == mask;
    });
}

std::uint16_t CModbus::ReadWriteMultipleRegisters(std::uint8_t slave, std::uint16_t readStart,
                                                  std::uint16_t readCount, std::uint16_t writeStart,
                                                  const WordArray& values, WordArray& read) {
    const protocol::Bytes request = protocol::BuildReadWriteMultipleRegistersRequest(
        {{readStart, readCount}, writeStart, values});
    if (!protocol::ReadReadWriteMultipleRegistersRequest(request)) {
        return Refused();
    }
    return RunPdu(slave, request, protocol::ReadRegistersAnswerLength(readCount),
                  [&](protocol::PduView pdu) {
                      auto answer = protocol::ReadReadWriteMultipleRegistersAnswer(pdu);
                      if (!answer || answer->size() != readCount) {
                          return false;
                      }
                      read = std::move(*answer);
                      return true;
                  });
}

std::uint16_t CModbus::ReadFifoQueue(std::uint8_t slave, std::uint16_t address, WordArray& queue) {
    return RunPdu(slave, protocol::BuildReadFifoQueueRequest(address), kOpenLength,
                  [&queue](protocol::PduView pdu) {
                      auto read = protocol::ReadReadFifoQueueAnswer(pdu);
                      if (read) {
                          queue = std::move(*read);
                      }
                      return read.has_value();
                  });
}

std::uint16_t CModbus::SendPdu(std::uint8_t slave, const ByteArray& pdu, ByteArray& answer) {
    if (pdu.empty() || pdu.size() > protocol::kMaxPdu || protocol::IsException(pdu)) {
        return Refused();
    }
    return RunPdu(slave, pdu, kOpenLength, [&answer](protocol::PduView read) {
        answer.assign(read.begin(), read.end());
        return true;
    });
}

std::uint16_t CModbus::Refused() {
    ThrowIfError(kModbusBadRequest);
    return kModbusBadRequest;
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
    return ReadBits(slave, protocol::kReadCoils, start, quantity, states);
}

std::uint16_t CModbus::ReadDiscreteInputs(std::uint8_t slave, std::uint16_t start,
                                          std::uint16_t quantity, ByteArray& states) {
    return ReadBits(slave, protocol::kReadDiscreteInputs, start, quantity, states);
}

std::uint16_t CModbus::ReadHoldingRegisters(std::uint8_t slave, std::uint16_t start,
                                            std::uint16_t quantity, WordArray& values) {
    return ReadWords(slave, protocol::kReadHoldingRegisters, start, quantity, values);
}

std::uint16_t CModbus::ReadInputRegisters(std::uint8_t slave, std::uint16_t start,
                                          std::uint16_t quantity, WordArray& values) {
    return ReadWords(slave, protocol::kReadInputRegisters, start, quantity, values);
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
    if (values.empty() || values.size() > protocol::kMaxWriteRegisters) {
        ThrowIfError(kModbusBadRequest);
        return kModbusBadRequest;
    }
    return RunRequest(Message(slave, protocol::BuildWriteMultipleRegistersRequest({start, values})),
                      kWriteEchoLength, nullptr);
}

std::uint16_t CModbus::ForceMultipleCoils(std::uint8_t slave, std::uint16_t start,
                                          const ByteArray& states) {
    if (states.empty() || states.size() > protocol::kMaxWriteBits) {
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
