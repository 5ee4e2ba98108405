#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "protocol/DeviceIdentity.h"
#include "protocol/FunctionTable.h"

namespace protocol {

// Function 43 with MEI type 14, Read Device Identification. Request: MEI type, read device id
// code, object id. Answer: MEI type, code, conformity level, more follows, next object id,
// object count, then each object as id, length, text. Another MEI type is not served.
enum DeviceIdCode : std::uint8_t {
    kStreamBasic = 1,     // objects 0 to 2
    kStreamRegular = 2,   // up to 0x7F
    kStreamExtended = 3,  // up to 0xFF
    kIndividualObject = 4,
};

// The first object of each category past the basic one.
constexpr std::uint8_t kFirstRegularObject = 0x03;
constexpr std::uint8_t kFirstExtendedObject = 0x80;
// Conformity: the highest category a device holds, with this flag for individual access.
constexpr std::uint8_t kConformityBasic = 0x01;
constexpr std::uint8_t kConformityRegular = 0x02;
constexpr std::uint8_t kConformityExtended = 0x03;
constexpr std::uint8_t kIndividualAccess = 0x80;
// More follows: the rest of the stream in another request, from the next object id on.
constexpr std::uint8_t kMoreFollows = 0xFF;

struct DeviceIdRequest {
    std::uint8_t code = kStreamBasic;
    std::uint8_t objectId = 0;
};

struct DeviceIdAnswer {
    std::uint8_t code = kStreamBasic;
    std::uint8_t conformity = 0;
    bool moreFollows = false;
    std::uint8_t nextObjectId = 0;
    std::vector<std::pair<std::uint8_t, std::string>> objects;
};

Bytes BuildDeviceIdRequest(DeviceIdRequest request);
// MEI type 14, a code from 1 to 4 and the object id, nothing more.
std::optional<DeviceIdRequest> ReadDeviceIdRequest(PduView pdu, std::string* why = nullptr);

Bytes BuildDeviceIdAnswer(const DeviceIdAnswer& answer);
// The whole header, MEI type 14, and objects that fill the answer exactly.
std::optional<DeviceIdAnswer> ReadDeviceIdAnswer(PduView pdu, std::string* why = nullptr);

// What a device with this identity answers: the stream from the object asked for (from the
// first one when it lacks that object), as much as one answer holds; none when code 4 asks for
// an object it lacks.
std::optional<DeviceIdAnswer> IdentityAnswer(const DeviceIdentity& identity,
                                             DeviceIdRequest request);

// A device's text as a monitor prints it: printable ASCII as it is, other bytes as \xHH.
std::string PrintableText(const std::string& text);

extern const FunctionEntry kEncapsulatedInterfaceFunction;

}  // namespace protocol
