#include "tools/slave/DeviceIdentity.h"

#ifndef VORNAK_VERSION
#define VORNAK_VERSION "1.1"
#endif

namespace slave {

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

protocol::DeviceIdentity ServedIdentity(const DeviceIdentity& identity) {
    protocol::DeviceIdentity served;
    served.objects = {{protocol::kVendorName, identity.vendor},
                      {protocol::kProductCode, identity.product},
                      {protocol::kMajorMinorRevision, identity.revision}};
    served.running = true;
    served.serverData = identity.product;
    return served;
}

}  // namespace slave
