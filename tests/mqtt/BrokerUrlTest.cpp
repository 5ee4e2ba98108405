#include <gtest/gtest.h>

#include <string>

#include "tools/mqtt/BrokerUrl.h"

namespace {

using mqtt::BrokerUrl;
using mqtt::ParseBrokerUrl;

struct GoodCase {
    std::string text;
    bool tls;
    std::string host;
    std::uint16_t port;
    std::string topic;
};

class BrokerUrlGood : public testing::TestWithParam<GoodCase> {};

TEST_P(BrokerUrlGood, Parses) {
    const GoodCase& c = GetParam();
    std::string why;
    const auto url = ParseBrokerUrl(c.text, why);
    ASSERT_TRUE(url) << c.text << ": " << why;
    EXPECT_EQ(url->tls, c.tls);
    EXPECT_EQ(url->host, c.host);
    EXPECT_EQ(url->port, c.port);
    EXPECT_EQ(url->topic, c.topic);
}

INSTANTIATE_TEST_SUITE_P(
    Urls, BrokerUrlGood,
    testing::Values(GoodCase{"mqtt://broker/plant", false, "broker", 1883, "plant"},
                    GoodCase{"mqtts://broker.example.com/plant/line1", true, "broker.example.com",
                             8883, "plant/line1"},
                    GoodCase{"mqtt://10.0.0.5:1884/a/b", false, "10.0.0.5", 1884, "a/b"},
                    GoodCase{"mqtt://[::1]:1885/t", false, "::1", 1885, "t"},
                    GoodCase{"mqtts://[fe80::1:2]/t", true, "fe80::1:2", 8883, "t"},
                    GoodCase{"MQTT://Host/t", false, "Host", 1883, "t"},
                    GoodCase{"mqtt://h:65535/t", false, "h", 65535, "t"},
                    GoodCase{"mqtt://my_host-1.local/t", false, "my_host-1.local", 1883, "t"},
                    // The topic is everything after the first slash, as written.
                    GoodCase{"mqtt://h//lead", false, "h", 1883, "/lead"},
                    GoodCase{"mqtt://h/a@b?c", false, "h", 1883, "a@b?c"},
                    GoodCase{"mqtt://h/a b/", false, "h", 1883, "a b/"},
                    GoodCase{"mqtt://h/\xc3\xa9tage/\xe6\xb8\xa9", false, "h", 1883,
                             "\xc3\xa9tage/\xe6\xb8\xa9"}));

struct BadCase {
    std::string text;
    std::string why;
};

class BrokerUrlBad : public testing::TestWithParam<BadCase> {};

TEST_P(BrokerUrlBad, RefusedWithReason) {
    const BadCase& c = GetParam();
    std::string why;
    EXPECT_FALSE(ParseBrokerUrl(c.text, why)) << c.text;
    EXPECT_EQ(why, c.why) << c.text;
}

const std::string kForm = " (mqtt://HOST[:PORT]/TOPIC)";
const std::string kPort = "--mqtt: the port must be a number from 1 to 65535";
const std::string kHostChars =
    "--mqtt: the host may hold letters, digits, '-', '.' and '_' only, or an IPv6 address in "
    "brackets";
const std::string kWildcards =
    "--mqtt: the topic may not hold the wildcards + or # (it names where to publish)";
const std::string kControl = "--mqtt: the topic holds a control character";

INSTANTIATE_TEST_SUITE_P(
    Urls, BrokerUrlBad,
    testing::Values(
        BadCase{"", "--mqtt: no broker address" + kForm},
        BadCase{"http://h/t", "--mqtt: the address must start with mqtt:// or mqtts://" + kForm},
        BadCase{"mqtt:/h/t", "--mqtt: the address must start with mqtt:// or mqtts://" + kForm},
        BadCase{"h/t", "--mqtt: the address must start with mqtt:// or mqtts://" + kForm},
        BadCase{"mqtt://h", "--mqtt: no topic after the host" + kForm},
        BadCase{"mqtt://h/", "--mqtt: no topic after the host" + kForm},
        BadCase{"mqtt:///t", "--mqtt: no host" + kForm},
        BadCase{"mqtt://:1883/t", "--mqtt: no host" + kForm}, BadCase{"mqtt://h:0/t", kPort},
        BadCase{"mqtt://h:65536/t", kPort}, BadCase{"mqtt://h:/t", kPort},
        BadCase{"mqtt://h:12a/t", kPort}, BadCase{"mqtt://h:-1/t", kPort},
        BadCase{"mqtt://h:123456/t", kPort}, BadCase{"mqtt://[::1]:99999/t", kPort},
        BadCase{"mqtt://::1/t",
                "--mqtt: an IPv6 address goes in brackets (mqtt://[::1]:1883/TOPIC)"},
        BadCase{"mqtt://[::1/t", "--mqtt: the IPv6 address has no closing bracket"},
        BadCase{"mqtt://[10.0.0.1]/t", "--mqtt: the address in brackets is not an IPv6 address"},
        BadCase{"mqtt://[::1]x/t", "--mqtt: only :PORT may follow the IPv6 address" + kForm},
        BadCase{"mqtt://h st/t", kHostChars}, BadCase{"mqtt://h%41/t", kHostChars},
        BadCase{"mqtt://" + std::string(254, 'a') + "/t",
                "--mqtt: the host name is longer than 253 characters"},
        BadCase{"mqtt://h/a/+/b", kWildcards}, BadCase{"mqtt://h/a/#", kWildcards},
        BadCase{"mqtt://h/#", kWildcards}, BadCase{"mqtt://h/a\tb", kControl},
        BadCase{"mqtt://h/a\x7f", kControl}, BadCase{"mqtt://h/a\nb", kControl},
        BadCase{std::string("mqtt://h/a\0b", 12), kControl},
        BadCase{"mqtt://h/" + std::string(65536, 'x'),
                "--mqtt: the topic is longer than 65535 bytes"},
        BadCase{"mqtt://h/a\xff\xfe", "--mqtt: the topic is not valid UTF-8"},
        BadCase{"mqtt://h/\xc3", "--mqtt: the topic is not valid UTF-8"}));

TEST(BrokerUrl, LongestTopicAccepted) {
    std::string why;
    const auto url = ParseBrokerUrl("mqtt://h/" + std::string(65535, 'x'), why);
    ASSERT_TRUE(url) << why;
    EXPECT_EQ(url->topic.size(), 65535u);
}

// User information is refused, and the reason repeats none of it, however the password
// splits the address.
TEST(BrokerUrl, CredentialsRefusedWithoutEcho) {
    const std::string kCredentials =
        "--mqtt: no user name or password in the address; set VORNAK_MQTT_USER and "
        "VORNAK_MQTT_PASSWORD";
    struct Case {
        std::string text;
        std::string why;
    };
    for (const Case& c :
         {Case{"mqtt://u:secret@h/t", kCredentials},
          Case{"mqtts://u:secret@h:8883/t", kCredentials}, Case{"mqtt://secret@h/t", kCredentials},
          Case{"mqtt://u:s@cret@h/t", kCredentials}, Case{"mqtt://u:sec:ret@h/t", kCredentials},
          // The first slash ends the host part: a password holding one makes
          // a bad port, still not repeated.
          Case{"mqtt://u:sec/ret@h/t", kPort}, Case{"mqtt://[::1]:secret@h/t", kCredentials}}) {
        std::string why;
        EXPECT_FALSE(ParseBrokerUrl(c.text, why)) << c.text;
        EXPECT_EQ(why, c.why) << c.text;
        EXPECT_EQ(why.find("secret"), std::string::npos) << why;
        EXPECT_EQ(why.find("sec"), std::string::npos) << why;
        EXPECT_EQ(why.find("ret"), std::string::npos) << why;
    }
}

TEST(BrokerUrl, AddressForMessages) {
    EXPECT_EQ(mqtt::BrokerAddress(BrokerUrl{false, "broker", 1883, "t"}), "broker:1883");
    EXPECT_EQ(mqtt::BrokerAddress(BrokerUrl{true, "::1", 8883, "t"}), "[::1]:8883");
}

}  // namespace
