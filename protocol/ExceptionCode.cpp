#include "protocol/ExceptionCode.h"

namespace protocol {

const char* ExceptionName(std::uint16_t code) {
    switch (code) {
        case kIllegalFunction:
            return "Illegal Function";
        case kIllegalDataAddress:
            return "Illegal Data Address";
        case kIllegalDataValue:
            return "Illegal Data Value";
        case kServerDeviceFailure:
            return "Slave Device Failure";
        case kAcknowledge:
            return "Acknowledge";
        case kServerDeviceBusy:
            return "Slave Device Busy";
        case kNegativeAcknowledge:
            return "Negative Acknowledge";
        case kMemoryParityError:
            return "Memory Parity Error";
        case kGatewayPathUnavailable:
            return "Gateway Path Unavailable";
        case kGatewayTargetFailed:
            return "Gateway Target Device Failed to Respond";
        default:
            return "not a standard exception";
    }
}

}  // namespace protocol
