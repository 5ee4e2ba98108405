#pragma once

#include <string>
#include <vector>

#include "modbus/Modbus.h"
#include "protocol/DeviceServing.h"
#include "tools/profile/ProfileToml.h"
#include "tools/slave/ProfileModel.h"

// A master whose line ends in a simulated unit served from a profile, in-process, that notes
// every request as "function address count".
class CProfileMaster : public CModbus {
public:
    explicit CProfileMaster(const std::string& toml)
        : m_model(Load(toml), slave::SlaveOptions{}, protocol::DeviceIdentity{}, 1) {}

    std::uint16_t Transact(ByteArray& request, std::uint16_t length, ByteArray& response,
                           std::uint16_t, std::uint16_t*) override {
        const protocol::Bytes pdu(request.begin() + 1, request.begin() + length);
        requests.push_back(std::to_string(pdu[0]) + " " + std::to_string(pdu[1] << 8 | pdu[2]) +
                           " " + std::to_string(pdu[3] << 8 | pdu[4]));
        const auto answer = protocol::ServeAsDevice(pdu, m_model, request[0], false);
        if (!answer) {
            return kModbusTimeout;
        }
        response.assign(1, request[0]);
        response.insert(response.end(), answer->begin(), answer->end());
        if ((response[1] & protocol::kExceptionFlag) != 0) {
            return static_cast<std::uint16_t>(kModbusException + response[2]);
        }
        return kModbusOk;
    }
    bool IsPortOpen() const override { return true; }

    slave::CProfileModel& Model() { return m_model; }

    std::vector<std::string> requests;

private:
    static profile::DeviceProfile Load(const std::string& toml) {
        std::string error;
        auto loaded = profile::ParseProfileToml(toml, "unit.toml", error);
        return loaded.value_or(profile::DeviceProfile{});
    }

    slave::CProfileModel m_model;
};
