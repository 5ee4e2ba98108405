#include "protocol/functions/ReportServerId.h"

#include <algorithm>

#include "protocol/DataModel.h"
#include "protocol/Limits.h"
#include "protocol/functions/EncapsulatedInterface.h"
#include "protocol/functions/FieldReading.h"

namespace protocol {
namespace {

constexpr std::size_t kRequestSize = 1;
constexpr std::size_t kByteCountAt = 1;
constexpr std::size_t kDataAt = 2;
constexpr std::size_t kMaxData = kMaxPdu - kDataAt;
// Within the data, as this device lays it out.
constexpr std::size_t kServerIdAt = 0;
constexpr std::size_t kRunIndicatorAt = 1;
constexpr std::size_t kDeviceDataAt = 2;

PduLength Length(Role role, PduView have) {
    return role == Role::Request ? PduLength::Of(kRequestSize) : CountedLength(have, kByteCountAt);
}

std::optional<Bytes> Serve(PduView request, IDataModel& model, std::uint8_t unit) {
    if (!ReadReportServerIdRequest(request)) {
        return IllegalValue(request);
    }
    return BuildReportServerIdAnswer(ServerIdData(model.Identity(), unit));
}

std::string RunText(std::uint8_t indicator) {
    return indicator == kRunIndicatorOn    ? "on"
           : indicator == kRunIndicatorOff ? "off"
                                           : Hex16(indicator);
}

// Read as this device lays its data out; another device's may differ, so the text is its own.
void Describe(Role role, PduView pdu, const Description* /*request*/, Description& out) {
    if (role == Role::Request) {
        ReadReportServerIdRequest(pdu, &out.malformed);
        return;
    }
    const auto data = ReadReportServerIdAnswer(pdu, &out.malformed);
    if (!data) {
        return;
    }
    if (data->size() < kDeviceDataAt) {
        out.fields.push_back({"data", PrintableText(std::string(data->begin(), data->end()))});
        return;
    }
    out.fields.push_back({"server id", std::to_string((*data)[kServerIdAt])});
    out.fields.push_back({"run", RunText((*data)[kRunIndicatorAt])});
    out.fields.push_back(
        {"data", PrintableText(std::string(data->begin() + kDeviceDataAt, data->end()))});
}

}  // namespace

Bytes BuildReportServerIdRequest() {
    return {kReportServerId};
}

bool ReadReportServerIdRequest(PduView pdu, std::string* why) {
    return HasSize(pdu, kRequestSize, why);
}

Bytes BuildReportServerIdAnswer(const Bytes& data) {
    const std::size_t size = std::min(data.size(), kMaxData);
    Bytes pdu = NewPdu({kReportServerId, static_cast<std::uint8_t>(size)});
    pdu.insert(pdu.end(), data.begin(), data.begin() + static_cast<std::ptrdiff_t>(size));
    return pdu;
}

Bytes ServerIdData(const DeviceIdentity& identity, std::uint8_t serverId) {
    Bytes data{serverId, identity.running ? kRunIndicatorOn : kRunIndicatorOff};
    std::string text = identity.serverData;
    if (text.empty()) {
        const auto product =
            std::find_if(identity.objects.begin(), identity.objects.end(),
                         [](const auto& object) { return object.first == kProductCode; });
        if (product != identity.objects.end()) {
            text = product->second;
        }
    }
    data.insert(data.end(), text.begin(), text.end());
    return data;
}

std::optional<Bytes> ReadReportServerIdAnswer(PduView pdu, std::string* why) {
    if (!HasAtLeast(pdu, kDataAt, why) || !HasSize(pdu, kDataAt + pdu[kByteCountAt], why)) {
        return std::nullopt;
    }
    return Bytes(pdu.begin() + kDataAt, pdu.end());
}

const FunctionEntry kReportServerIdFunction{kReportServerId, "Report Server ID", Length, Serve,
                                            Describe};

}  // namespace protocol
