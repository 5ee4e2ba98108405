#include "tools/poll/PollIdentify.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "modbus/Modbus.h"
#include "protocol/functions/EncapsulatedInterface.h"
#include "tools/common/RecordText.h"
#include "tools/poll/PollRecord.h"

namespace poll {

namespace {

// A stream is bounded by requests, whatever its "more follows" says.
constexpr int kMaxRequestsPerStage = 32;
constexpr std::uint8_t kRunOn = 0xFF;
constexpr std::uint8_t kRunOff = 0x00;

constexpr std::array<const char*, 7> kObjectNames = {
    "VendorName",  "ProductCode", "MajorMinorRevision",  "VendorUrl",
    "ProductName", "ModelName",   "UserApplicationName",
};

std::string ObjectName(std::uint8_t id) {
    if (id < kObjectNames.size()) {
        return kObjectNames[id];
    }
    char text[16];
    std::snprintf(text, sizeof text, "object 0x%02X", id);
    return text;
}

std::string Hex(const ByteArray& bytes) {
    std::string text;
    char pair[4];
    for (const std::uint8_t b : bytes) {
        std::snprintf(pair, sizeof pair, "%s%02X", text.empty() ? "" : " ", b);
        text += pair;
    }
    return text;
}

bool Printable(const ByteArray& bytes) {
    return std::all_of(bytes.begin(), bytes.end(),
                       [](std::uint8_t b) { return b >= 0x20 && b < 0x7F; });
}

bool Refused(std::uint16_t code) {
    return code == kModbusException + 1 || code == kModbusException + 2;
}

// Code 1, 2 or 3 from its first object, following "more follows" while it moves forward.
std::uint16_t ReadStage(CModbus& master, std::uint8_t slave, std::uint8_t stage,
                        std::vector<std::pair<std::uint8_t, ByteArray>>& objects) {
    const std::uint8_t first[] = {protocol::kVendorName, protocol::kFirstRegularObject,
                                  protocol::kFirstExtendedObject};
    std::uint8_t objectId = first[stage - protocol::kStreamBasic];
    for (int request = 0; request < kMaxRequestsPerStage; ++request) {
        DeviceIdAnswer answer;
        const std::uint16_t code = master.ReadDeviceIdentification(slave, stage, objectId, answer);
        if (code != kModbusOk) {
            return code;
        }
        for (auto& object : answer.objects) {
            const bool seen = std::any_of(objects.begin(), objects.end(),
                                          [&](const auto& o) { return o.first == object.first; });
            if (!seen) {
                objects.push_back(std::move(object));
            }
        }
        if (!answer.moreFollows || answer.nextObjectId <= objectId) {
            break;
        }
        objectId = answer.nextObjectId;
    }
    return kModbusOk;
}

Identity ReportSlaveIdentity(CModbus& master, std::uint8_t slave) {
    Identity identity;
    ByteArray data;
    identity.code = master.ReportSlaveId(slave, data);
    if (identity.code != kModbusOk || data.empty()) {
        return identity;
    }
    identity.items.push_back({"slave id", std::to_string(data[0])});
    if (data.size() > 1) {
        const std::uint8_t run = data[1];
        identity.items.push_back({"run indicator", run == kRunOn    ? "ON"
                                                   : run == kRunOff ? "OFF"
                                                                    : Hex({run})});
    }
    if (data.size() > 2) {
        const ByteArray extra(data.begin() + 2, data.end());
        identity.items.push_back({"data", Printable(extra) ? PrintableText(extra) : Hex(extra)});
    }
    return identity;
}

}  // namespace

std::string PrintableText(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    for (const std::uint8_t b : bytes) {
        if (b >= 0x20 && b < 0x7F && b != '\\') {
            text += static_cast<char>(b);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", b);
            text += escaped;
        }
    }
    return text;
}

Identity Identify(CModbus& master, std::uint8_t slave) {
    std::vector<std::pair<std::uint8_t, ByteArray>> objects;
    const std::uint16_t basic = ReadStage(master, slave, 1, objects);
    if (basic == kModbusException + 1 || basic == kModbusTimeout) {
        return ReportSlaveIdentity(master, slave);
    }
    Identity identity;
    identity.code = basic;
    if (basic == kModbusOk) {
        // Regular and extended objects are optional: a refusal ends only that stage.
        for (std::uint8_t stage = 2; stage <= 3; ++stage) {
            const std::uint16_t code = ReadStage(master, slave, stage, objects);
            if (code != kModbusOk && !Refused(code)) {
                identity.code = code;
                break;
            }
        }
    }
    for (const auto& [id, bytes] : objects) {
        identity.items.push_back({ObjectName(id), PrintableText(bytes)});
    }
    return identity;
}

std::string FormatIdentityHeader(OutputFormat format) {
    return format == OutputFormat::Csv ? "slave,object,value\n" : "";
}

std::string FormatIdentity(OutputFormat format, std::uint8_t slave, const Identity& identity) {
    std::string text;
    for (const IdentityItem& item : identity.items) {
        switch (format) {
            case OutputFormat::Table:
                text += item.name + ": " + item.value + "\n";
                break;
            case OutputFormat::Csv:
                text += std::to_string(slave) + "," + CsvField(item.name) + "," +
                        CsvField(item.value) + "\n";
                break;
            case OutputFormat::Json:
                text += "{\"slave\":" + std::to_string(slave) +
                        ",\"object\":" + JsonString(item.name) +
                        ",\"value\":" + JsonString(item.value) + "}\n";
                break;
        }
    }
    return text;
}

}  // namespace poll
