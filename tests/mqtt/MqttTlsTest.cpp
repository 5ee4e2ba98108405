#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "BrokerProcess.h"
#include "SubscriberProcess.h"
#include "TestCertificates.h"
#include "tools/mqtt/MqttPublisher.h"

namespace {

using namespace std::chrono_literals;
using mqtt::CMqttPublisher;
using mqtt::PublisherSettings;
using mqtt_test::CBrokerProcess;

constexpr auto kLong = 30s;
const std::string kTopic = "vornak/test/tls";

// One CA and its certificates for every test here: making them is the slow part.
class MqttTlsTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        if (::access(mqtt_test::kOpensslPath, X_OK) != 0 || !CBrokerProcess::Available()) {
            return;
        }
        s_dir = mqtt_test::MakeTempDir("vornak-mqtt-tls");
        s_ready = !s_dir.empty() && mqtt_test::MakeTestCertificates(s_dir, s_certs, s_why);
    }
    static void TearDownTestSuite() { mqtt_test::RemoveTree(s_dir); }

    void SetUp() override {
        if (::access(mqtt_test::kOpensslPath, X_OK) != 0 || !CBrokerProcess::Available()) {
            GTEST_SKIP() << "no openssl or mosquitto (scripts/deps.sh installs them)";
        }
        ASSERT_TRUE(s_ready) << s_why;
    }

    bool StartBroker(bool rightName) {
        mqtt_test::BrokerOptions options;
        options.certFile = rightName ? s_certs.goodCert : s_certs.otherNameCert;
        options.keyFile = rightName ? s_certs.goodKey : s_certs.otherNameKey;
        return m_broker.Start(options);
    }

    PublisherSettings Settings(const std::string& caFile) const {
        PublisherSettings settings;
        settings.url.tls = true;
        settings.url.host = "127.0.0.1";
        settings.url.port = m_broker.Port();
        settings.url.topic = kTopic;
        settings.caFile = caFile;
        settings.connectTimeout = 10s;
        return settings;
    }

    std::string Address() const { return "127.0.0.1:" + std::to_string(m_broker.Port()); }

    static inline std::string s_dir;
    static inline bool s_ready = false;
    static inline std::string s_why;
    static inline mqtt_test::TestCertificates s_certs;
    CBrokerProcess m_broker;
};

TEST_F(MqttTlsTest, TrustedCaAndRightNamePublish) {
    ASSERT_TRUE(StartBroker(true)) << m_broker.Log();
    CMqttPublisher publisher(Settings(s_certs.caFile));
    std::string why;
    ASSERT_TRUE(publisher.Start(why)) << why;
    ASSERT_TRUE(publisher.Publish(kTopic, "{\"n\":1}"));
    EXPECT_TRUE(publisher.Drain(kLong));
    EXPECT_EQ(publisher.Sent(), 1u);
}

TEST_F(MqttTlsTest, OtherHostNameIsRefused) {
    ASSERT_TRUE(StartBroker(false)) << m_broker.Log();
    CMqttPublisher publisher(Settings(s_certs.caFile));
    std::string why;
    EXPECT_FALSE(publisher.Start(why));
    EXPECT_EQ(why, "mqtt: TLS with " + Address() + " failed: host name verification failed");
}

TEST_F(MqttTlsTest, MissingCaFile) {
    CMqttPublisher publisher(Settings(s_dir + "/no-such-ca.crt"));
    std::string why;
    EXPECT_FALSE(publisher.Start(why));
    EXPECT_EQ(why, "mqtt: cannot read the CA file " + s_dir + "/no-such-ca.crt");
}

// A broker killed outright ends a TLS session without its goodbye, after which libmosquitto's
// thread gives up; the publisher starts it again and the messages go once the broker is back.
TEST_F(MqttTlsTest, BrokerKilledAndBackResumes) {
    ASSERT_TRUE(StartBroker(true)) << m_broker.Log();
    CMqttPublisher publisher(Settings(s_certs.caFile));
    std::string why;
    ASSERT_TRUE(publisher.Start(why)) << why;
    ASSERT_TRUE(publisher.Publish(kTopic, "{\"n\":1}"));
    ASSERT_TRUE(publisher.Drain(kLong));

    ASSERT_TRUE(m_broker.Stop(SIGKILL));
    const auto end = std::chrono::steady_clock::now() + kLong;
    while (publisher.IsConnected() && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_FALSE(publisher.IsConnected());
    for (int n = 2; n <= 5; ++n) {
        ASSERT_TRUE(publisher.Publish(kTopic, "{\"n\":" + std::to_string(n) + "}"));
    }
    ASSERT_TRUE(m_broker.Restart()) << m_broker.Log();
    EXPECT_TRUE(publisher.Drain(kLong)) << publisher.Queued() << " still queued";
    EXPECT_EQ(publisher.Sent(), 5u);
    std::vector<std::string> notices;
    while (auto notice = publisher.TakeNotice()) {
        notices.push_back(*notice);
    }
    ASSERT_EQ(notices.size(), 2u) << testing::PrintToString(notices);
    EXPECT_EQ(notices[0].rfind("mqtt: broker lost (", 0), 0u) << notices[0];
    EXPECT_EQ(notices[1], "mqtt: broker back; sending 4 queued");
}

}  // namespace
