#pragma once

#include <chrono>
#include <cstddef>
#include <string>

#include "tools/mqtt/BrokerUrl.h"

namespace mqtt {

// Credentials come from the environment only, never from the command line where every
// user of the machine can read them.
inline constexpr const char* kUserVariable = "VORNAK_MQTT_USER";
inline constexpr const char* kPasswordVariable = "VORNAK_MQTT_PASSWORD";

struct PublisherSettings {
    BrokerUrl url;
    std::string caFile;  // mqtts: the CA to trust; empty for the system's, /etc/ssl/certs
    int qos = 1;         // 0 or 1
    bool retain = false;
    std::string clientId;  // empty: libmosquitto makes a random one
    std::string user;
    std::string password;
    std::size_t queueLimit = 10000;  // waiting and unacknowledged messages together
    std::chrono::milliseconds connectTimeout{5000};
};

// Sets user and password from VORNAK_MQTT_USER and VORNAK_MQTT_PASSWORD (either may be
// unset). false with a reason when there is a password without a user, which the protocol
// cannot carry.
bool ReadCredentials(PublisherSettings& settings, std::string& why);

// false with a reason when the settings cannot work: QoS other than 0 or 1, an empty queue,
// no time to connect, a client id the protocol cannot carry.
bool CheckSettings(const PublisherSettings& settings, std::string& why);

}  // namespace mqtt
