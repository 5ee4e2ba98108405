#pragma once

#include <cstdint>

namespace protocol {

// The exception codes a device answers with; 0 stands for none in the data model's calls.
enum ExceptionCode : std::uint8_t {
    kNoException = 0,
    kIllegalFunction = 1,
    kIllegalDataAddress = 2,
    kIllegalDataValue = 3,
    kServerDeviceFailure = 4,
    kAcknowledge = 5,
    kServerDeviceBusy = 6,
    kNegativeAcknowledge = 7,
    kMemoryParityError = 8,
    kGatewayPathUnavailable = 10,
    kGatewayTargetFailed = 11,
};

// The highest code the protocol defines; a random byte with the exception flag is common, so
// readers take only codes up to this one as an exception.
constexpr std::uint8_t kLastExceptionCode = kGatewayTargetFailed;

// The name every program prints beside the number; "not a standard exception" for the rest.
const char* ExceptionName(std::uint16_t code);

}  // namespace protocol
