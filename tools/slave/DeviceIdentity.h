#pragma once

#include <cstddef>
#include <string>

#include "protocol/DeviceIdentity.h"

namespace slave {

// Texts a master can ask for, each 1 to kMaxIdentityText printable ASCII characters, as the
// options set them.
struct DeviceIdentity {
    std::string vendor = "Quorvix";
    std::string product = "vornak-slave";
    std::string revision = DefaultRevision();

    static std::string DefaultRevision();
};

// So that any one object always fits one Read Device Identification answer.
constexpr std::size_t kMaxIdentityText = 244;

bool IsIdentityText(const std::string& text);

// The identity the device serves: the basic objects 0 (vendor), 1 (product) and 2 (revision),
// running, and the product text as Report Server ID's own data after the run indicator.
protocol::DeviceIdentity ServedIdentity(const DeviceIdentity& identity);

}  // namespace slave
