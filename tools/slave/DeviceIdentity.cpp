#include "tools/slave/DeviceIdentity.h"

#ifndef VORNAK_VERSION
#define VORNAK_VERSION "1.1"
#endif

namespace slave {

namespace {

constexpr std::uint8_t kRunIndicatorOn = 0xFF;
constexpr std::uint8_t kMeiDeviceId = 0x0E;
constexpr std::uint8_t kObjectCount = 3;
// Basic identification, with both stream and individual access.
constexpr std::uint8_t kConformity = 0x81;
// A PDU (the answer without its address) holds at most 253 bytes.
constexpr std::size_t kMaxAnswer = 1 + 253;
constexpr std::size_t kDeviceIdHeader = 8;  // address to number of objects

const std::string& Object(const DeviceIdentity& identity, int id) {
    return id == 0 ? identity.vendor : id == 1 ? identity.product : identity.revision;
}

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

Bytes ReadDeviceIdAnswer(const Bytes& request, const DeviceIdentity& identity) {
    if (request.size() < 3) {
        return Exception(request, 3);
    }
    if (request[2] != kMeiDeviceId) {
        return Exception(request, 1);
    }
    if (request.size() != 5 || request[3] < 1 || request[3] > 4) {
        return Exception(request, 3);
    }
    const std::uint8_t code = request[3];
    const int objectId = request[4];
    if (code == 4 && objectId >= kObjectCount) {
        return Exception(request, 2);
    }
    // A stream that starts at an object the device lacks starts over at the first.
    const int first = objectId < kObjectCount ? objectId : 0;
    const int last = code == 4 ? first : kObjectCount - 1;
    Bytes answer{request[0], request[1], kMeiDeviceId, code, kConformity, 0x00, 0x00, 0};
    for (int id = first; id <= last; ++id) {
        const std::string& text = Object(identity, id);
        if (answer.size() + 2 + text.size() > kMaxAnswer) {
            // The rest in another request, from this object on.
            answer[5] = 0xFF;
            answer[6] = static_cast<std::uint8_t>(id);
            break;
        }
        answer.push_back(static_cast<std::uint8_t>(id));
        answer.push_back(static_cast<std::uint8_t>(text.size()));
        answer.insert(answer.end(), text.begin(), text.end());
        ++answer[kDeviceIdHeader - 1];
    }
    return answer;
}

}  // namespace slave
