#include <gtest/gtest.h>

#include "tools/mqtt/PublisherSettings.h"

namespace {

using mqtt::PublisherSettings;

TEST(PublisherSettings, RefusalsTheUserSees) {
    const std::pair<void (*)(PublisherSettings&), const char*> cases[] = {
        {[](PublisherSettings& s) { s.qos = 2; }, "mqtt: QoS must be 0 or 1"},
        {[](PublisherSettings& s) { s.queueLimit = 0; },
         "mqtt: the queue must hold at least one message"},
        {[](PublisherSettings& s) { s.clientId = std::string(65536, 'c'); },
         "mqtt: the client id must be valid UTF-8 of at most 65535 bytes"},
        {[](PublisherSettings& s) { s.user = "\xc3"; },
         "mqtt: VORNAK_MQTT_USER must be valid UTF-8 of at most 65535 bytes"},
        {[](PublisherSettings& s) { s.password = std::string(65536, 'p'); },
         "mqtt: VORNAK_MQTT_PASSWORD is longer than 65535 bytes"},
    };
    for (const auto& [change, expected] : cases) {
        PublisherSettings settings;
        settings.url.host = "h";
        settings.url.topic = "t";
        std::string why;
        EXPECT_TRUE(mqtt::CheckSettings(settings, why)) << why;
        change(settings);
        EXPECT_FALSE(mqtt::CheckSettings(settings, why));
        EXPECT_EQ(why, expected);
    }
}

}  // namespace
