#pragma once

#include <optional>
#include <string>

#include "protocol/DeviceIdentity.h"
#include "protocol/FunctionTable.h"

namespace protocol {

// Function 17: the request is the code alone; the answer is a byte count, then that many bytes
// of the device's own description. This device's: its address as server id, the run
// indicator, then its data.
constexpr std::uint8_t kRunIndicatorOn = 0xFF;
constexpr std::uint8_t kRunIndicatorOff = 0x00;

Bytes BuildReportServerIdRequest();
// The code and nothing after it.
bool ReadReportServerIdRequest(PduView pdu, std::string* why = nullptr);

// data is everything after the byte count; what does not fit a PDU is left off.
Bytes BuildReportServerIdAnswer(const Bytes& data);
// What this device says of itself: server id, run indicator, then serverData, or the product
// code's text when there is none.
Bytes ServerIdData(const DeviceIdentity& identity, std::uint8_t serverId);
// Everything after the byte count, which must count exactly the bytes after it.
std::optional<Bytes> ReadReportServerIdAnswer(PduView pdu, std::string* why = nullptr);

extern const FunctionEntry kReportServerIdFunction;

}  // namespace protocol
