#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "BrokerProcess.h"
#include "ChildProcess.h"
#include "SubscriberProcess.h"
#include "tests/support/TestPki.h"
#include "tools/mqtt/MqttPublisher.h"

namespace {

using namespace std::chrono_literals;
using mqtt::CMqttPublisher;
using mqtt::PublisherSettings;

constexpr auto kLong = 30s;  // generous: a loaded machine must not fail these
const std::string kTopic = "vornak/test/records";

std::string Record(int n) {
    return "{\"n\":" + std::to_string(n) + "}";
}

template <typename F>
bool WaitUntil(F&& done) {
    const auto end = std::chrono::steady_clock::now() + kLong;
    while (!done() && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(10ms);
    }
    return done();
}

class MqttPublisherTest : public testing::Test {
protected:
    void SetUp() override {
        if (!mqtt_test::CBrokerProcess::Available() ||
            ::access(mqtt_test::kSubscriberPath, X_OK) != 0) {
            GTEST_SKIP() << "no mosquitto (scripts/deps.sh installs mosquitto, mosquitto-clients)";
        }
    }
    PublisherSettings Settings() const {
        PublisherSettings settings;
        settings.url.host = "127.0.0.1";
        settings.url.port = m_broker.Port();
        settings.url.topic = kTopic;
        settings.connectTimeout = 10s;
        return settings;
    }
    // Start's refusal, "" when it connected and published a record that the broker took.
    static std::string StartAndPublish(const PublisherSettings& settings) {
        CMqttPublisher publisher(settings);
        std::string why;
        if (!publisher.Start(why)) {
            return why;
        }
        return publisher.Publish(kTopic, Record(1)) && publisher.Drain(kLong) ? "" : "not sent";
    }
    std::string Address() const { return "127.0.0.1:" + std::to_string(m_broker.Port()); }

    mqtt_test::CBrokerProcess m_broker;
};

// Messages handed over to a broker that froze (SIGSTOP) are never answered; it is then killed
// and started again. libmosquitto sends the unanswered ones again after the reconnection and
// the ones queued meanwhile wait behind them: all arrive, in order, none twice.
TEST_F(MqttPublisherTest, UnansweredAtTheLossGoAgainFirst) {
    ASSERT_TRUE(m_broker.Start()) << m_broker.Log();
    mqtt_test::CSubscriberProcess subscriber;
    ASSERT_TRUE(subscriber.Start(m_broker.Port(), kTopic, "vornak-sub-frozen"));
    // Killed brokers save nothing: write the subscriber's session down now.
    m_broker.Signal(SIGUSR1);
    ASSERT_TRUE(
        WaitUntil([&] { return ::access((m_broker.Dir() + "/mosquitto.db").c_str(), 0) == 0; }));
    CMqttPublisher publisher(Settings());
    std::string why;
    ASSERT_TRUE(publisher.Start(why)) << why;
    m_broker.Signal(SIGSTOP);
    std::vector<std::string> expected;
    for (int n = 0; n < 20; ++n) {
        if (n == 10) {
            ASSERT_TRUE(m_broker.Stop(SIGKILL));
            ASSERT_TRUE(WaitUntil([&] { return !publisher.IsConnected(); }));
            EXPECT_EQ(publisher.Sent(), 0u);
        }
        expected.push_back(Record(n));
        ASSERT_TRUE(publisher.Publish(kTopic, expected.back()));
    }
    ASSERT_TRUE(m_broker.Restart()) << m_broker.Log();
    EXPECT_TRUE(publisher.Drain(kLong));
    EXPECT_EQ(publisher.Sent(), 20u);
    // At QoS 1 in order, whatever came before the end mark has come too.
    expected.push_back("end");
    ASSERT_TRUE(publisher.Publish(kTopic, "end"));
    ASSERT_TRUE(subscriber.WaitForPayload("end", kLong)) << subscriber.Output();
    EXPECT_EQ(subscriber.Payloads(), expected);
}

TEST_F(MqttPublisherTest, RetainedIsWhatALateSubscriberGets) {
    ASSERT_TRUE(m_broker.Start()) << m_broker.Log();
    PublisherSettings settings = Settings();
    settings.retain = true;
    ASSERT_EQ(StartAndPublish(settings), "");
    mqtt_test::CSubscriberProcess late;
    ASSERT_TRUE(late.Start(m_broker.Port(), kTopic, "vornak-sub-late", false));
    ASSERT_TRUE(late.WaitForCount(1, kLong)) << late.Output();
    EXPECT_EQ(late.Payloads(), (std::vector<std::string>{Record(1)}));
    EXPECT_NE(late.Output().find(", r1, "), std::string::npos) << late.Output();
}

TEST_F(MqttPublisherTest, PasswordBrokerRefusesWithItsReasonOnly) {
    const std::string file = m_broker.Dir() + "/passwords";
    const auto run = mqtt_test::RunChild(mqtt_test::kPasswdPath,
                                         {"-b", "-c", file, "vornak", "pa55-right"}, kLong);
    ASSERT_EQ(run.status, 0) << run.output;
    mqtt_test::BrokerOptions options;
    options.anonymous = false;
    options.passwordFile = file;
    ASSERT_TRUE(m_broker.Start(options)) << m_broker.Log();
    const std::string refused =
        "mqtt: the broker at " + Address() + " refused the connection: not authorised";
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"", "", refused},
        {"vornak", "secret-wrong", refused},
        {"nobody", "pa55-right", refused},
        {"vornak", "", refused},
        {"vornak", "pa55-right", ""}};
    for (const auto& [user, password, expected] : cases) {
        PublisherSettings settings = Settings();
        settings.user = user;
        settings.password = password;
        EXPECT_EQ(StartAndPublish(settings), expected) << user << " " << password;
    }
}

TEST_F(MqttPublisherTest, TlsNeedsTheTrustedCaAndTheRightName) {
    const CTestPki pki;
    ASSERT_TRUE(pki.Ok()) << pki.Error();
    PublisherSettings settings;
    for (const std::string name : {"device", "device-other-name"}) {
        mqtt_test::CBrokerProcess broker;
        mqtt_test::BrokerOptions options;
        options.certFile = pki.Cert(name);
        options.keyFile = pki.Key(name);
        ASSERT_TRUE(broker.Start(options)) << broker.Log();
        settings.url = {true, "127.0.0.1", broker.Port(), kTopic};
        settings.caFile = pki.Cert("ca");
        EXPECT_EQ(StartAndPublish(settings),
                  name == "device" ? ""
                                   : "mqtt: TLS with 127.0.0.1:" + std::to_string(broker.Port()) +
                                         " failed: host name verification failed");
    }
}

// A listener that never accepts: the kernel makes the connection, CONNECT goes, no answer.
TEST_F(MqttPublisherTest, SilentBrokerTimesOut) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(::listen(fd, 4), 0);
    ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length), 0);
    PublisherSettings settings = Settings();
    settings.url.port = ntohs(address.sin_port);
    settings.connectTimeout = 300ms;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(StartAndPublish(settings), "mqtt: no answer from the broker at 127.0.0.1:" +
                                             std::to_string(settings.url.port) + " within 300 ms");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    ::close(fd);
}

}  // namespace
