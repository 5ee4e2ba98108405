#include "tools/slave/SlaveProtocol.h"

#include <algorithm>

namespace slave {

namespace {

constexpr int kMaxBits = 2000;
constexpr int kMaxRegisters = 125;
constexpr int kMaxWriteBits = 1968;
constexpr int kMaxWriteRegisters = 123;
constexpr std::size_t kWriteHeader = 7;  // address, function, start, quantity, byte count

Bytes ExceptionAnswer(const Bytes& request, std::uint8_t code) {
    return {request[0], static_cast<std::uint8_t>(request[1] | 0x80), code};
}

}  // namespace

SlaveReply CSlaveProtocol::Handle(const Bytes& request, std::uint64_t elapsedMs) {
    SlaveReply reply;
    if (request.size() < 2) {
        reply.kind = SlaveReply::Kind::Short;
        return reply;
    }
    if (request[0] == 0) {
        Execute(request, elapsedMs);
        reply.kind = SlaveReply::Kind::Broadcast;
        return reply;
    }
    if (std::find(m_ids.begin(), m_ids.end(), request[0]) == m_ids.end()) {
        reply.kind = SlaveReply::Kind::OtherId;
        return reply;
    }
    reply.kind = SlaveReply::Kind::Answer;
    reply.answer = Execute(request, elapsedMs);
    return reply;
}

Bytes CSlaveProtocol::Execute(const Bytes& request, std::uint64_t elapsedMs) {
    const std::uint8_t function = request[1];
    if (std::find(m_refused.begin(), m_refused.end(), function) != m_refused.end()) {
        return ExceptionAnswer(request, kIllegalFunction);
    }
    if (function == 15 || function == 16) {
        return WriteMultiple(request);
    }
    if (function == 17) {
        return ReportSlaveIdAnswer(request, m_identity);
    }
    if (function == 43) {
        return ReadDeviceIdAnswer(request, m_identity);
    }
    if (function < 1 || function > 6) {
        return ExceptionAnswer(request, kIllegalFunction);
    }
    // Functions 1 to 6 carry exactly two 16-bit fields.
    if (request.size() != 6) {
        return ExceptionAnswer(request, kIllegalDataValue);
    }
    const int address = request[2] << 8 | request[3];
    const int field = request[4] << 8 | request[5];
    const int size = m_bank.Size();

    switch (function) {
        case 1:
        case 2:
            if (field == 0 || field > kMaxBits) {
                return ExceptionAnswer(request, kIllegalDataValue);
            }
            if (address + field > size) {
                return ExceptionAnswer(request, kIllegalDataAddress);
            }
            return ReadBits(request, address, field, elapsedMs);
        case 3:
        case 4:
            if (field == 0 || field > kMaxRegisters) {
                return ExceptionAnswer(request, kIllegalDataValue);
            }
            if (address + field > size) {
                return ExceptionAnswer(request, kIllegalDataAddress);
            }
            return ReadRegisters(request, address, field, elapsedMs);
        case 5:
            if (field != 0xFF00 && field != 0x0000) {
                return ExceptionAnswer(request, kIllegalDataValue);
            }
            if (address >= size) {
                return ExceptionAnswer(request, kIllegalDataAddress);
            }
            m_bank.SetCoil(address, field == 0xFF00);
            return request;
        default:
            if (address >= size) {
                return ExceptionAnswer(request, kIllegalDataAddress);
            }
            m_bank.SetHoldingRegister(address, static_cast<std::uint16_t>(field));
            return request;
    }
}

// Functions 15 and 16: start, quantity, then the byte count and exactly that many data bytes.
Bytes CSlaveProtocol::WriteMultiple(const Bytes& request) {
    if (request.size() < kWriteHeader) {
        return ExceptionAnswer(request, kIllegalDataValue);
    }
    const bool coils = request[1] == 15;
    const int start = request[2] << 8 | request[3];
    const int quantity = request[4] << 8 | request[5];
    const std::size_t byteCount = request[6];
    const int most = coils ? kMaxWriteBits : kMaxWriteRegisters;
    const auto needed = static_cast<std::size_t>(coils ? (quantity + 7) / 8 : 2 * quantity);
    if (quantity == 0 || quantity > most || byteCount != needed ||
        request.size() != kWriteHeader + byteCount) {
        return ExceptionAnswer(request, kIllegalDataValue);
    }
    if (start + quantity > m_bank.Size()) {
        return ExceptionAnswer(request, kIllegalDataAddress);
    }
    const std::uint8_t* data = request.data() + kWriteHeader;
    for (int i = 0; i < quantity; ++i) {
        if (coils) {
            m_bank.SetCoil(start + i, (data[i / 8] >> (i % 8) & 1) != 0);
        } else {
            m_bank.SetHoldingRegister(
                start + i, static_cast<std::uint16_t>(data[2 * i] << 8 | data[2 * i + 1]));
        }
    }
    return Bytes(request.begin(), request.begin() + 6);
}

Bytes CSlaveProtocol::ReadBits(const Bytes& request, int start, int quantity,
                               std::uint64_t elapsedMs) {
    const int byteCount = (quantity + 7) / 8;
    Bytes answer(3 + static_cast<std::size_t>(byteCount), 0);
    answer[0] = request[0];
    answer[1] = request[1];
    answer[2] = static_cast<std::uint8_t>(byteCount);
    for (int j = 0; j < quantity; ++j) {
        const bool on = request[1] == 1 ? m_bank.Coil(start + j)
                                        : CRegisterBank::DiscreteInput(start + j, elapsedMs);
        if (on) {
            answer[3 + static_cast<std::size_t>(j / 8)] |= static_cast<std::uint8_t>(1U << (j % 8));
        }
    }
    return answer;
}

Bytes CSlaveProtocol::ReadRegisters(const Bytes& request, int start, int quantity,
                                    std::uint64_t elapsedMs) {
    Bytes answer{request[0], request[1], static_cast<std::uint8_t>(quantity * 2)};
    for (int i = 0; i < quantity; ++i) {
        const std::uint16_t value = request[1] == 3
                                        ? m_bank.HoldingRegister(start + i)
                                        : CRegisterBank::InputRegister(start + i, elapsedMs);
        answer.push_back(static_cast<std::uint8_t>(value >> 8));
        answer.push_back(static_cast<std::uint8_t>(value & 0xFF));
    }
    return answer;
}

}  // namespace slave
