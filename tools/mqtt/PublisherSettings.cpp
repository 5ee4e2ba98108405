#include "tools/mqtt/PublisherSettings.h"

#include <mosquitto.h>

#include <cstdlib>

namespace mqtt {

bool ReadCredentials(PublisherSettings& settings, std::string& why) {
    const char* user = std::getenv(kUserVariable);
    const char* password = std::getenv(kPasswordVariable);
    settings.user = user != nullptr ? user : "";
    settings.password = password != nullptr ? password : "";
    if (settings.user.empty() && !settings.password.empty()) {
        why = std::string("mqtt: ") + kPasswordVariable + " is set but " + kUserVariable +
              " is not; a password needs a user name";
        return false;
    }
    return true;
}

bool CheckSettings(const PublisherSettings& settings, std::string& why) {
    if (settings.qos != 0 && settings.qos != 1) {
        why = "mqtt: QoS must be 0 or 1";
        return false;
    }
    if (settings.queueLimit == 0) {
        why = "mqtt: the queue must hold at least one message";
        return false;
    }
    if (settings.connectTimeout.count() <= 0) {
        why = "mqtt: the connect time-out must be above 0 ms";
        return false;
    }
    const auto validUtf8 = [](const std::string& text) {
        return text.size() <= 65535 && text.find('\0') == std::string::npos &&
               mosquitto_validate_utf8(text.c_str(), static_cast<int>(text.size())) ==
                   MOSQ_ERR_SUCCESS;
    };
    if (!validUtf8(settings.clientId)) {
        why = "mqtt: the client id must be valid UTF-8 of at most 65535 bytes";
        return false;
    }
    if (!validUtf8(settings.user)) {
        why = std::string("mqtt: ") + kUserVariable + " must be valid UTF-8 of at most 65535 bytes";
        return false;
    }
    if (settings.password.size() > 65535) {
        why = std::string("mqtt: ") + kPasswordVariable + " is longer than 65535 bytes";
        return false;
    }
    return true;
}

}  // namespace mqtt
