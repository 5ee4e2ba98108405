#pragma once

#include <cstdint>
#include <string>

#include "tools/slave/SlaveChecks.h"

namespace slave {

// Texts a master can ask for, each 1 to kMaxIdentityText printable ASCII characters.
struct DeviceIdentity {
    std::string vendor = "Quorvix";
    std::string product = "vornak-slave";
    std::string revision = DefaultRevision();

    static std::string DefaultRevision();
};

// So that any one object always fits one Read Device Identification answer.
constexpr std::size_t kMaxIdentityText = 244;

bool IsIdentityText(const std::string& text);

// Function 17 (Report Slave ID), request without its check: address, 17.
Bytes ReportSlaveIdAnswer(const Bytes& request, const DeviceIdentity& identity);

}  // namespace slave
