#include "tools/monitor/FrameValues.h"

#include <algorithm>
#include <optional>

#include "tools/monitor/FrameShapes.h"

namespace monitor {
namespace {

// Where the fields sit in a message: address, function, then the function's.
constexpr std::size_t kFunctionAt = 1;
constexpr std::size_t kAddressAt = 2;
constexpr std::size_t kQuantityAt = 4;   // or the value a single write sets
constexpr std::size_t kWriteDataAt = 7;  // 15 and 16, after their byte count
constexpr std::size_t kAnswerCountAt = 2;
constexpr std::size_t kAnswerDataAt = 3;

constexpr std::uint16_t kCoilOn = 0xFF00;
constexpr std::uint16_t kCoilOff = 0x0000;

std::optional<std::uint16_t> Word(const Bytes& message, std::size_t at) {
    if (message.size() < at + 2) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(message[at] << 8 | message[at + 1]);
}

// Bits go least significant first in each byte; as many as asked, or as the bytes hold.
std::vector<std::uint16_t> Bits(const Bytes& message, std::size_t at, std::size_t wanted) {
    std::vector<std::uint16_t> bits;
    const std::size_t held = message.size() > at ? (message.size() - at) * 8 : 0;
    for (std::size_t bit = 0; bit < std::min(wanted, held); ++bit) {
        bits.push_back((message[at + bit / 8] >> (bit % 8)) & 1);
    }
    return bits;
}

std::vector<std::uint16_t> Registers(const Bytes& message, std::size_t at, std::size_t wanted) {
    std::vector<std::uint16_t> registers;
    for (std::size_t reg = 0; reg < wanted; ++reg) {
        const auto value = Word(message, at + reg * 2);
        if (!value) {
            break;
        }
        registers.push_back(*value);
    }
    return registers;
}

std::vector<std::uint16_t> CoilState(std::optional<std::uint16_t> value) {
    if (value == kCoilOn) {
        return {1};
    }
    if (value == kCoilOff) {
        return {0};
    }
    return {};
}

std::size_t AnswerByteCount(const Bytes& message) {
    return message.size() > kAnswerCountAt ? message[kAnswerCountAt] : 0;
}

}  // namespace

void DescribeRequest(const Bytes& message, MonitorRecord& record) {
    if (message.size() <= kFunctionAt) {
        return;
    }
    const auto address = Word(message, kAddressAt);
    const auto quantity = Word(message, kQuantityAt);
    switch (message[kFunctionAt]) {
        case kReadCoils:
        case kReadDiscreteInputs:
        case kReadHoldingRegisters:
        case kReadInputRegisters:
        case kReadWriteRegisters:  // the part it reads
            record.address = address;
            record.count = quantity;
            break;
        case kWriteCoil:
            record.address = address;
            record.count = 1;
            record.values = CoilState(quantity);
            record.bitValues = true;
            break;
        case kWriteRegister:
            record.address = address;
            record.count = 1;
            if (quantity) {
                record.values = {*quantity};
            }
            break;
        case kWriteCoils:
            record.address = address;
            record.count = quantity;
            record.values = Bits(message, kWriteDataAt, quantity.value_or(0));
            record.bitValues = true;
            break;
        case kWriteRegisters:
            record.address = address;
            record.count = quantity;
            record.values = Registers(message, kWriteDataAt, quantity.value_or(0));
            break;
        case kMaskWriteRegister:
        case kReadFifoQueue:
            record.address = address;
            break;
        default:
            break;
    }
}

void DescribeAnswer(const Bytes& message, const MonitorRecord* request, MonitorRecord& record) {
    if (message.size() <= kFunctionAt) {
        return;
    }
    const std::size_t byteCount = AnswerByteCount(message);
    switch (message[kFunctionAt]) {
        case kReadCoils:
        case kReadDiscreteInputs: {
            const std::size_t asked = request && request->count ? *request->count : byteCount * 8;
            record.values = Bits(message, kAnswerDataAt, std::min(asked, byteCount * 8));
            record.bitValues = true;
            break;
        }
        case kReadHoldingRegisters:
        case kReadInputRegisters:
        case kReadWriteRegisters:
            record.values = Registers(message, kAnswerDataAt, byteCount / 2);
            break;
        case kWriteCoil:
            record.values = CoilState(Word(message, kQuantityAt));
            record.bitValues = true;
            break;
        case kWriteRegister:
            if (const auto value = Word(message, kQuantityAt)) {
                record.values = {*value};
            }
            break;
        default:
            break;
    }
}

}  // namespace monitor
