#include <gtest/gtest.h>

#include <cstdlib>

#include "tools/mqtt/PublisherSettings.h"

namespace {

using mqtt::PublisherSettings;

// Sets or clears the two variables for one test and puts back what was there.
class CredentialsEnvironment : public testing::Test {
protected:
    void SetUp() override {
        Save(mqtt::kUserVariable, m_user);
        Save(mqtt::kPasswordVariable, m_password);
    }
    void TearDown() override {
        Restore(mqtt::kUserVariable, m_user);
        Restore(mqtt::kPasswordVariable, m_password);
    }
    static void Set(const char* name, const char* value) {
        if (value == nullptr) {
            ::unsetenv(name);
        } else {
            ::setenv(name, value, 1);
        }
    }

private:
    struct Saved {
        bool set = false;
        std::string value;
    };
    static void Save(const char* name, Saved& saved) {
        const char* value = std::getenv(name);
        saved.set = value != nullptr;
        saved.value = value != nullptr ? value : "";
    }
    static void Restore(const char* name, const Saved& saved) {
        Set(name, saved.set ? saved.value.c_str() : nullptr);
    }
    Saved m_user;
    Saved m_password;
};

TEST_F(CredentialsEnvironment, PasswordWithoutUserRefusedWithoutEcho) {
    Set(mqtt::kUserVariable, nullptr);
    Set(mqtt::kPasswordVariable, "s3cret");
    PublisherSettings settings;
    std::string why;
    EXPECT_FALSE(mqtt::ReadCredentials(settings, why));
    EXPECT_EQ(why,
              "mqtt: VORNAK_MQTT_PASSWORD is set but VORNAK_MQTT_USER is not; a password needs a "
              "user name");
}

struct SettingsCase {
    const char* name;
    void (*change)(PublisherSettings&);
    const char* why;  // nullptr: accepted
};

class SettingsCheck : public testing::TestWithParam<SettingsCase> {};

TEST_P(SettingsCheck, Checks) {
    PublisherSettings settings;
    settings.url.host = "h";
    settings.url.topic = "t";
    GetParam().change(settings);
    std::string why;
    const bool ok = mqtt::CheckSettings(settings, why);
    if (GetParam().why == nullptr) {
        EXPECT_TRUE(ok) << why;
    } else {
        EXPECT_FALSE(ok);
        EXPECT_EQ(why, GetParam().why);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Settings, SettingsCheck,
    testing::Values(
        SettingsCase{"Defaults", [](PublisherSettings&) {}, nullptr},
        SettingsCase{"Qos0", [](PublisherSettings& s) { s.qos = 0; }, nullptr},
        SettingsCase{"Qos2", [](PublisherSettings& s) { s.qos = 2; }, "mqtt: QoS must be 0 or 1"},
        SettingsCase{"QosNegative", [](PublisherSettings& s) { s.qos = -1; },
                     "mqtt: QoS must be 0 or 1"},
        SettingsCase{"EmptyQueue", [](PublisherSettings& s) { s.queueLimit = 0; },
                     "mqtt: the queue must hold at least one message"},
        SettingsCase{"NoTime",
                     [](PublisherSettings& s) { s.connectTimeout = std::chrono::milliseconds(0); },
                     "mqtt: the connect time-out must be above 0 ms"},
        SettingsCase{"ClientIdNotUtf8", [](PublisherSettings& s) { s.clientId = "a\xff"; },
                     "mqtt: the client id must be valid UTF-8 of at most 65535 bytes"},
        SettingsCase{"ClientIdTooLong",
                     [](PublisherSettings& s) { s.clientId = std::string(65536, 'c'); },
                     "mqtt: the client id must be valid UTF-8 of at most 65535 bytes"},
        SettingsCase{"UserNotUtf8", [](PublisherSettings& s) { s.user = "\xc3"; },
                     "mqtt: VORNAK_MQTT_USER must be valid UTF-8 of at most 65535 bytes"},
        SettingsCase{"PasswordAnyBytes", [](PublisherSettings& s) { s.password = "\xff\x01"; },
                     nullptr},
        SettingsCase{"PasswordTooLong",
                     [](PublisherSettings& s) { s.password = std::string(65536, 'p'); },
                     "mqtt: VORNAK_MQTT_PASSWORD is longer than 65535 bytes"}),
    [](const testing::TestParamInfo<SettingsCase>& info) { return std::string(info.param.name); });

}  // namespace
