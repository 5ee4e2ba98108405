#include "tools/monitor/FrameShapes.h"

#include "modbus/Framing.h"

namespace monitor {
namespace {

using Fit = FrameShape::Fit;

// Where fields sit in a frame: address, function, then the function's own.
constexpr std::size_t kFunctionAt = 1;
constexpr std::size_t kFirstFieldAt = 2;

// Lengths of whole frames whose size never varies.
constexpr std::size_t kShortRequest = 4;    // address, function, CRC
constexpr std::size_t kExceptionFrame = 5;  // address, function, code, CRC
constexpr std::size_t kExceptionCodeAt = 2;
constexpr std::uint8_t kLastExceptionCode = 11;  // gateway target failed to answer
constexpr std::size_t kStatusAnswer = 5;         // function 7's status byte
constexpr std::size_t kFifoRequest = 6;          // function 24's address
constexpr std::size_t kMeiRequest = 7;           // MEI type, read code, object id
constexpr std::size_t kAddressAndWord = 8;       // an address and a quantity or a value
constexpr std::size_t kMaskWrite = 10;           // an address, AND and OR masks

// Counted frames: the bytes before and after the data, and where its byte count sits.
constexpr std::size_t kCountedAnswerRest = 5;  // address, function, count, CRC
constexpr std::size_t kWriteCountAt = 6;       // 15 and 16: after address and quantity
constexpr std::size_t kWriteRest = 9;
constexpr std::size_t kReadWriteCountAt = 10;  // 23: after both addresses and quantities
constexpr std::size_t kReadWriteRest = 13;
constexpr std::size_t kFifoRest = 6;  // 24: address, function, 2-byte count, CRC

// Function 43's read of device identification, and its answer's header before the objects.
constexpr std::uint8_t kMeiDeviceId = 14;
constexpr std::size_t kMeiTypeAt = 2;
constexpr std::size_t kObjectCountAt = 7;
constexpr std::size_t kFirstObjectAt = 8;
constexpr std::size_t kObjectHeader = 2;  // object id, value length

FrameShape Fixed(std::size_t length) {
    return {Fit::Length, length};
}

FrameShape NeedMore(std::size_t bytes) {
    return {Fit::NeedMore, bytes};
}

FrameShape Unknown() {
    return {Fit::Unknown, 0};
}

FrameShape Bounded(std::size_t length) {
    return length <= kMaxRtuFrame ? Fixed(length) : FrameShape{};
}

// A frame whose data length is the byte at countAt.
FrameShape Counted(const std::uint8_t* frame, std::size_t have, std::size_t countAt,
                   std::size_t rest) {
    if (have <= countAt) {
        return NeedMore(countAt + 1);
    }
    return Bounded(rest + frame[countAt]);
}

FrameShape FifoAnswer(const std::uint8_t* frame, std::size_t have) {
    if (have < kFirstFieldAt + 2) {
        return NeedMore(kFirstFieldAt + 2);
    }
    return Bounded(kFifoRest + (frame[kFirstFieldAt] << 8 | frame[kFirstFieldAt + 1]));
}

bool IsDeviceIdentification(const std::uint8_t* frame) {
    return frame[kMeiTypeAt] == kMeiDeviceId;
}

FrameShape MeiRequest(const std::uint8_t* frame, std::size_t have) {
    if (have <= kMeiTypeAt) {
        return NeedMore(kMeiTypeAt + 1);
    }
    return IsDeviceIdentification(frame) ? Fixed(kMeiRequest) : Unknown();
}

// The identification answer ends after its last object: walk the objects as far as they came.
FrameShape MeiAnswer(const std::uint8_t* frame, std::size_t have) {
    if (have <= kMeiTypeAt) {
        return NeedMore(kMeiTypeAt + 1);
    }
    if (!IsDeviceIdentification(frame)) {
        return Unknown();
    }
    if (have < kFirstObjectAt) {
        return NeedMore(kFirstObjectAt);
    }
    std::size_t end = kFirstObjectAt;
    for (unsigned object = 0; object < frame[kObjectCountAt]; ++object) {
        if (have < end + kObjectHeader) {
            return NeedMore(end + kObjectHeader);
        }
        end += kObjectHeader + frame[end + 1];
        if (end + kRtuCheckSize > kMaxRtuFrame) {
            return {};
        }
    }
    return Fixed(end + kRtuCheckSize);
}

// Only the codes the protocol defines: a random byte with the exception bit is common.
FrameShape ExceptionShape(const std::uint8_t* frame, std::size_t have) {
    if (have <= kExceptionCodeAt) {
        return NeedMore(kExceptionCodeAt + 1);
    }
    const std::uint8_t code = frame[kExceptionCodeAt];
    return code >= 1 && code <= kLastExceptionCode ? Fixed(kExceptionFrame) : FrameShape{};
}

FrameShape RequestShape(std::uint8_t function, const std::uint8_t* frame, std::size_t have) {
    switch (function) {
        case kReadCoils:
        case kReadDiscreteInputs:
        case kReadHoldingRegisters:
        case kReadInputRegisters:
        case kWriteCoil:
        case kWriteRegister:
        case kDiagnostics:
            return Fixed(kAddressAndWord);
        case kReadExceptionStatus:
        case kCommEventCounter:
        case kCommEventLog:
        case kReportServerId:
            return Fixed(kShortRequest);
        case kWriteCoils:
        case kWriteRegisters:
            return Counted(frame, have, kWriteCountAt, kWriteRest);
        case kReadFileRecord:
        case kWriteFileRecord:
            return Counted(frame, have, kFirstFieldAt, kCountedAnswerRest);
        case kMaskWriteRegister:
            return Fixed(kMaskWrite);
        case kReadWriteRegisters:
            return Counted(frame, have, kReadWriteCountAt, kReadWriteRest);
        case kReadFifoQueue:
            return Fixed(kFifoRequest);
        case kEncapsulated:
            return MeiRequest(frame, have);
        default:
            return Unknown();
    }
}

FrameShape AnswerShape(std::uint8_t function, const std::uint8_t* frame, std::size_t have) {
    switch (function) {
        case kReadCoils:
        case kReadDiscreteInputs:
        case kReadHoldingRegisters:
        case kReadInputRegisters:
        case kCommEventLog:
        case kReportServerId:
        case kReadFileRecord:
        case kWriteFileRecord:
        case kReadWriteRegisters:
            return Counted(frame, have, kFirstFieldAt, kCountedAnswerRest);
        case kWriteCoil:
        case kWriteRegister:
        case kDiagnostics:
        case kCommEventCounter:
        case kWriteCoils:
        case kWriteRegisters:
            return Fixed(kAddressAndWord);
        case kReadExceptionStatus:
            return Fixed(kStatusAnswer);
        case kMaskWriteRegister:
            return Fixed(kMaskWrite);
        case kReadFifoQueue:
            return FifoAnswer(frame, have);
        case kEncapsulated:
            return MeiAnswer(frame, have);
        default:
            return Unknown();
    }
}

}  // namespace

FrameShape RtuShape(FrameRole role, const std::uint8_t* frame, std::size_t have) {
    if (have > 0 && frame[0] > kLastSlave) {
        return {};
    }
    if (have <= kFunctionAt) {
        return NeedMore(kFunctionAt + 1);
    }
    const std::uint8_t function = frame[kFunctionAt];
    if ((function & ~kExceptionFlag) == 0) {
        return {};
    }
    if ((function & kExceptionFlag) != 0) {
        return role == FrameRole::Answer ? ExceptionShape(frame, have) : FrameShape{};
    }
    return role == FrameRole::Request ? RequestShape(function, frame, have)
                                      : AnswerShape(function, frame, have);
}

bool SilenceMayEnd(const std::uint8_t* frame, std::size_t have) {
    return have > kFunctionAt && frame[kFunctionAt] == kDiagnostics;
}

bool FitsShape(FrameRole role, const std::uint8_t* message, std::size_t length) {
    const FrameShape shape = RtuShape(role, message, length);
    return shape.fit == FrameShape::Fit::Length && shape.length == length + kRtuCheckSize;
}

}  // namespace monitor
