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

// Function 43 with MEI type 14 (Read Device Identification): address, 43, 14, read device id
// code, object id. Only the basic objects exist (0 vendor, 1 product, 2 revision), so codes 1
// to 3 stream the same ones; code 4 reads one.
Bytes ReadDeviceIdAnswer(const Bytes& request, const DeviceIdentity& identity);

}  // namespace slave
