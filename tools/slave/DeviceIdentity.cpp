#include "tools/slave/DeviceIdentity.h"

#ifndef VORNAK_VERSION
#define VORNAK_VERSION "1.1"
#endif

namespace slave {

namespace {

constexpr std::uint8_t kRunIndicatorOn = 0xFF;

Bytes Exception(const Bytes& request, std::uint8_t code) {
    return {request[0], static_cast<std::uint8_t>(request[1] | 0x80), code};
}

}  // namespace

std::string DeviceIdentity::DefaultRevision() {
    return VORNAK_VERSION;
}

bool IsIdentityText(const std::string& text) {
    if (text.empty() || text.size() > kMaxIdentityText) {
        return false;
    }
    for (const char c : text) {
        if (c < 0x20 || c > 0x7E) {
            return false;
        }
    }
    return true;
}

Bytes ReportSlaveIdAnswer(const Bytes& request, const DeviceIdentity& identity) {
    if (request.size() != 2) {
        return Exception(request, 3);
    }
    // Byte count, slave id, run indicator, then the product text as the device's own data.
    Bytes answer{request[0], request[1], static_cast<std::uint8_t>(2 + identity.product.size()),
                 request[0], kRunIndicatorOn};
    answer.insert(answer.end(), identity.product.begin(), identity.product.end());
    return answer;
}

}  // namespace slave
