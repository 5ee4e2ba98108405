#include <gtest/gtest.h>

#include <string>

#include "tools/mqtt/BrokerUrl.h"

namespace {

const std::string kForm = " (mqtt://HOST[:PORT]/TOPIC)";
const std::string kScheme = "--mqtt: the address must start with mqtt:// or mqtts://" + kForm;
const std::string kPort = "--mqtt: the port must be a number from 1 to 65535";
const std::string kHostChars =
    "--mqtt: the host may hold letters, digits, '-', '.' and '_' only, or an IPv6 address in "
    "brackets";
const std::string kWildcards =
    "--mqtt: the topic may not hold the wildcards + or # (it names where to publish)";
const std::string kControl = "--mqtt: the topic holds a control character";
const std::string kUtf8 = "--mqtt: the topic is not valid UTF-8";
const std::string kCredentials =
    "--mqtt: no user name or password in the address; set VORNAK_MQTT_USER and "
    "VORNAK_MQTT_PASSWORD";

// A good address is shown as "SCHEME ADDRESS TOPIC" (the address as messages give it), a bad
// one by its reason; no reason may repeat any part of a password.
TEST(BrokerUrl, ParsesOrRefusesWithReason) {
    const std::pair<std::string, std::string> cases[] = {
        {"mqtt://broker/plant", "mqtt broker:1883 plant"},
        {"mqtts://broker.example.com/plant/line1", "mqtts broker.example.com:8883 plant/line1"},
        {"MQTT://10.0.0.5:1884/a/b", "mqtt 10.0.0.5:1884 a/b"},
        {"mqtts://[fe80::1:2]/t", "mqtts [fe80::1:2]:8883 t"},
        {"mqtt://my_host-1.local:65535/t", "mqtt my_host-1.local:65535 t"},
        // The topic is everything after the first slash, as written.
        {"mqtt://h//a@b?c d/", "mqtt h:1883 /a@b?c d/"},
        {"mqtt://h/\xc3\xa9tage", "mqtt h:1883 \xc3\xa9tage"},
        {"mqtt://h/" + std::string(65535, 'x'), "mqtt h:1883 " + std::string(65535, 'x')},
        {"", "--mqtt: no broker address" + kForm},
        {"http://h/t", kScheme},
        {"mqtt://h", "--mqtt: no topic after the host" + kForm},
        {"mqtt://:1883/t", "--mqtt: no host" + kForm},
        {"mqtt://h:0/t", kPort},
        {"mqtt://h:65536/t", kPort},
        {"mqtt://h:12a/t", kPort},
        {"mqtt://::1/t", "--mqtt: an IPv6 address goes in brackets (mqtt://[::1]:1883/TOPIC)"},
        {"mqtt://[::1/t", "--mqtt: the IPv6 address has no closing bracket"},
        {"mqtt://[10.0.0.1]/t", "--mqtt: the address in brackets is not an IPv6 address"},
        {"mqtt://[::1]x/t", "--mqtt: only :PORT may follow the IPv6 address" + kForm},
        {"mqtt://h%41/t", kHostChars},
        {"mqtt://" + std::string(254, 'a') + "/t",
         "--mqtt: the host name is longer than 253 characters"},
        {"mqtt://h/a/+/b", kWildcards},
        {"mqtt://h/#", kWildcards},
        {"mqtt://h/a\tb", kControl},
        {std::string("mqtt://h/a\0b", 12), kControl},
        {"mqtt://h/" + std::string(65536, 'x'), "--mqtt: the topic is longer than 65535 bytes"},
        {"mqtt://h/a\xff\xfe", kUtf8},
        {"mqtt://h/\xc3", kUtf8},
        {"mqtts://u:secret@h:8883/t", kCredentials},
        {"mqtt://secret@h/t", kCredentials},
        {"mqtt://u:s@cret@h/t", kCredentials},
        {"mqtt://[::1]:secret@h/t", kCredentials},
        // The first slash ends the host part: a password holding one makes a bad port.
        {"mqtt://u:sec/ret@h/t", kPort},
    };
    for (const auto& [text, expected] : cases) {
        std::string why;
        const auto url = mqtt::ParseBrokerUrl(text, why);
        const std::string got = url ? std::string(url->tls ? "mqtts " : "mqtt ") +
                                          mqtt::BrokerAddress(*url) + " " + url->topic
                                    : why;
        EXPECT_EQ(got, expected) << text.substr(0, 80);
        for (const char* part : {"secret", "sec", "ret", "cret"}) {
            EXPECT_EQ(why.find(part), std::string::npos) << why;
        }
    }
}

}  // namespace
