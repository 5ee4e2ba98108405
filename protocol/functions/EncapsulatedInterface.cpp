#include "protocol/functions/EncapsulatedInterface.h"

#include <algorithm>
#include <cstdio>

#include "protocol/DataModel.h"
#include "protocol/Limits.h"
#include "protocol/functions/FieldReading.h"

namespace protocol {
namespace {

constexpr std::size_t kMeiAt = 1;
constexpr std::size_t kCodeAt = 2;
constexpr std::size_t kObjectIdAt = 3;
constexpr std::size_t kRequestSize = 4;
constexpr std::size_t kConformityAt = 3;
constexpr std::size_t kMoreFollowsAt = 4;
constexpr std::size_t kNextObjectAt = 5;
constexpr std::size_t kObjectCountAt = 6;
constexpr std::size_t kFirstObjectAt = 7;
// Each object's id and length before its text.
constexpr std::size_t kObjectHeader = 2;
constexpr std::size_t kMaxObjectText = 0xFF;
constexpr std::uint8_t kLastBasicObject = kFirstRegularObject - 1;
constexpr std::uint8_t kLastRegularObject = kFirstExtendedObject - 1;
constexpr std::uint8_t kLastExtendedObject = 0xFF;

bool IsDeviceIdentification(PduView pdu) {
    return pdu[kMeiAt] == kMeiDeviceIdentification;
}

// The answer ends after its last object: walk the objects as far as they came.
PduLength AnswerLength(PduView have) {
    if (have.size() < kFirstObjectAt) {
        return PduLength::NeedMore(kFirstObjectAt);
    }
    std::size_t end = kFirstObjectAt;
    for (unsigned object = 0; object < have[kObjectCountAt]; ++object) {
        if (have.size() < end + kObjectHeader) {
            return PduLength::NeedMore(end + kObjectHeader);
        }
        end += kObjectHeader + have[end + 1];
        if (end > kMaxPdu) {
            return PduLength::None();
        }
    }
    return PduLength::Of(end);
}

PduLength Length(Role role, PduView have) {
    if (have.size() <= kMeiAt) {
        return PduLength::NeedMore(kMeiAt + 1);
    }
    if (!IsDeviceIdentification(have)) {
        return PduLength::Unknown();
    }
    return role == Role::Request ? PduLength::Of(kRequestSize) : AnswerLength(have);
}

std::optional<Bytes> Serve(PduView request, IDataModel& model, std::uint8_t /*unit*/) {
    if (request.size() <= kMeiAt) {
        return IllegalValue(request);
    }
    if (!IsDeviceIdentification(request)) {
        return ExceptionPdu(request[0], kIllegalFunction);
    }
    const auto asked = ReadDeviceIdRequest(request);
    if (!asked) {
        return IllegalValue(request);
    }
    const DeviceIdentity& identity = model.Identity();
    // A code the device does not serve is a value it refuses, as a code past 4 is.
    if (asked->code == kIndividualObject && !identity.individualAccess) {
        return IllegalValue(request);
    }
    const auto answer = IdentityAnswer(identity, *asked);
    if (!answer) {
        return ExceptionPdu(request[0], kIllegalDataAddress);
    }
    return BuildDeviceIdAnswer(*answer);
}

void Describe(Role role, PduView pdu, const Description* /*request*/, Description& out) {
    if (pdu.size() <= kMeiAt) {
        out.malformed = "no MEI type";
        return;
    }
    if (!IsDeviceIdentification(pdu)) {
        out.fields.push_back({"mei", std::to_string(pdu[kMeiAt])});
        return;
    }
    if (role == Role::Request) {
        if (const auto asked = ReadDeviceIdRequest(pdu, &out.malformed)) {
            out.fields.push_back({"code", std::to_string(asked->code)});
            out.fields.push_back({"object", std::to_string(asked->objectId)});
        }
        return;
    }
    if (const auto answer = ReadDeviceIdAnswer(pdu, &out.malformed)) {
        out.fields.push_back({"code", std::to_string(answer->code)});
        out.fields.push_back({"conformity", Hex16(answer->conformity)});
        out.fields.push_back({"more follows", answer->moreFollows ? "yes" : "no"});
        out.fields.push_back({"next object", std::to_string(answer->nextObjectId)});
        for (const auto& [id, text] : answer->objects) {
            out.fields.push_back({"object " + std::to_string(id), PrintableText(text)});
        }
    }
}

std::uint8_t LastObjectOf(std::uint8_t code) {
    return code == kStreamBasic     ? kLastBasicObject
           : code == kStreamRegular ? kLastRegularObject
                                    : kLastExtendedObject;
}

// The highest category among the objects, and whether they are served singly as well.
std::uint8_t ConformityOf(const DeviceIdentity& identity) {
    std::uint8_t level = kConformityBasic;
    for (const auto& object : identity.objects) {
        if (object.first >= kFirstExtendedObject) {
            level = kConformityExtended;
        } else if (object.first >= kFirstRegularObject) {
            level = std::max(level, kConformityRegular);
        }
    }
    return identity.individualAccess ? level | kIndividualAccess : level;
}

}  // namespace

Bytes BuildDeviceIdRequest(DeviceIdRequest request) {
    return {kEncapsulatedInterface, kMeiDeviceIdentification, request.code, request.objectId};
}

std::optional<DeviceIdRequest> ReadDeviceIdRequest(PduView pdu, std::string* why) {
    if (!HasAtLeast(pdu, kMeiAt + 1, why)) {
        return std::nullopt;
    }
    if (!IsDeviceIdentification(pdu)) {
        return Refuse<DeviceIdRequest>(why, "MEI type " + std::to_string(pdu[kMeiAt]));
    }
    if (!HasSize(pdu, kRequestSize, why)) {
        return std::nullopt;
    }
    const DeviceIdRequest request{pdu[kCodeAt], pdu[kObjectIdAt]};
    if (request.code < kStreamBasic || request.code > kIndividualObject) {
        return Refuse<DeviceIdRequest>(why, "read device id code " + std::to_string(request.code));
    }
    return request;
}

Bytes BuildDeviceIdAnswer(const DeviceIdAnswer& answer) {
    Bytes pdu =
        NewPdu({kEncapsulatedInterface, kMeiDeviceIdentification, answer.code, answer.conformity,
                static_cast<std::uint8_t>(answer.moreFollows ? kMoreFollows : 0),
                answer.nextObjectId, static_cast<std::uint8_t>(answer.objects.size())});
    for (const auto& [id, text] : answer.objects) {
        const std::size_t length = std::min(text.size(), kMaxObjectText);
        pdu.push_back(id);
        pdu.push_back(static_cast<std::uint8_t>(length));
        pdu.insert(pdu.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length));
    }
    return pdu;
}

std::optional<DeviceIdAnswer> ReadDeviceIdAnswer(PduView pdu, std::string* why) {
    if (!HasAtLeast(pdu, kFirstObjectAt, why)) {
        return std::nullopt;
    }
    if (!IsDeviceIdentification(pdu)) {
        return Refuse<DeviceIdAnswer>(why, "MEI type " + std::to_string(pdu[kMeiAt]));
    }
    DeviceIdAnswer answer{pdu[kCodeAt],
                          pdu[kConformityAt],
                          pdu[kMoreFollowsAt] == kMoreFollows,
                          pdu[kNextObjectAt],
                          {}};
    std::size_t at = kFirstObjectAt;
    for (unsigned object = 0; object < pdu[kObjectCountAt]; ++object) {
        if (at + kObjectHeader > pdu.size() || at + kObjectHeader + pdu[at + 1] > pdu.size()) {
            return Refuse<DeviceIdAnswer>(why, "object " + std::to_string(object + 1) + " of " +
                                                   std::to_string(pdu[kObjectCountAt]) +
                                                   " past the answer's end");
        }
        const auto text = pdu.begin() + static_cast<std::ptrdiff_t>(at + kObjectHeader);
        answer.objects.emplace_back(pdu[at], std::string(text, text + pdu[at + 1]));
        at += kObjectHeader + pdu[at + 1];
    }
    if (at != pdu.size()) {
        return Refuse<DeviceIdAnswer>(
            why, std::to_string(pdu.size() - at) + " bytes after the last object");
    }
    return answer;
}

std::optional<DeviceIdAnswer> IdentityAnswer(const DeviceIdentity& identity,
                                             DeviceIdRequest request) {
    const auto& objects = identity.objects;
    const auto asked = std::find_if(objects.begin(), objects.end(), [&](const auto& object) {
        return object.first == request.objectId;
    });
    const bool single = request.code == kIndividualObject;
    if (single && asked == objects.end()) {
        return std::nullopt;
    }
    const std::uint8_t last = single ? request.objectId : LastObjectOf(request.code);
    // A stream from an object the device lacks, or one past the category, starts over.
    const auto first = asked == objects.end() || request.objectId > last ? objects.begin() : asked;
    DeviceIdAnswer answer{request.code, ConformityOf(identity), false, 0, {}};
    std::size_t size = kFirstObjectAt;
    for (auto object = first; object != objects.end() && object->first <= last; ++object) {
        std::string text = object->second;
        if (size + kObjectHeader + text.size() > kMaxPdu) {
            if (!answer.objects.empty()) {
                answer.moreFollows = true;
                answer.nextObjectId = object->first;
                break;
            }
            // An object too long for any answer goes cut, so that the stream still moves on.
            text.resize(kMaxPdu - size - kObjectHeader);
        }
        size += kObjectHeader + text.size();
        answer.objects.emplace_back(object->first, std::move(text));
    }
    return answer;
}

std::string PrintableText(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && c != '\\') {
            out += c;
            continue;
        }
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned>(byte));
        out += escaped;
    }
    return out;
}

const FunctionEntry kEncapsulatedInterfaceFunction{
    kEncapsulatedInterface, "Encapsulated Interface Transport", Length, Serve, Describe};

}  // namespace protocol
