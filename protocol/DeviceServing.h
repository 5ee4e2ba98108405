#pragma once

#include <cstdint>
#include <optional>

#include "protocol/DataModel.h"
#include "protocol/Pdu.h"

namespace protocol {

// What a device does with a request that reached it, its own address or a broadcast: counts it
// and logs its receive event, serves it through the function table, then counts and logs what
// came of it. In listen-only mode only a restart of communications (8/1) is carried out, and
// nothing is answered. A broadcast is carried out and never answered. unit is the address the
// request reached; the answer PDU is none where the device stays silent.
//
// The rest of what the counters tell is the line layer's to report, on the same model's
// Diagnostics(), as its frames come:
//   - a frame with a good check for another address: MessageHeard(false, false);
//   - a frame whose check failed, whoever it was for: CheckError();
//   - a frame for this device whose characters overran it: CharacterOverrun(), and the frame
//     is not served.
// A frame for this device or a broadcast goes to ServeAsDevice alone, which counts it.
std::optional<Bytes> ServeAsDevice(PduView request, IDataModel& model, std::uint8_t unit,
                                   bool broadcast);

}  // namespace protocol
