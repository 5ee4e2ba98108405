#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "BrokerProcess.h"
#include "ChildProcess.h"
#include "SubscriberProcess.h"
#include "tools/mqtt/MqttPublisher.h"

namespace {

using namespace std::chrono_literals;
using mqtt::CMqttPublisher;
using mqtt::PublisherSettings;
using mqtt_test::CBrokerProcess;
using mqtt_test::CSubscriberProcess;

constexpr auto kLong = 30s;  // generous: a loaded machine must not fail these
const std::string kTopic = "vornak/test/records";

PublisherSettings Settings(std::uint16_t port, int qos) {
    PublisherSettings settings;
    settings.url.host = "127.0.0.1";
    settings.url.port = port;
    settings.url.topic = kTopic;
    settings.qos = qos;
    settings.connectTimeout = 10s;
    return settings;
}

std::string Record(int n) {
    return "{\"n\":" + std::to_string(n) + ",\"unit\":1,\"values\":[1,2,3]}";
}

std::vector<std::string> Records(int from, int to) {
    std::vector<std::string> records;
    for (int n = from; n < to; ++n) {
        records.push_back(Record(n));
    }
    return records;
}

std::vector<std::string> AllNotices(CMqttPublisher& publisher) {
    std::vector<std::string> notices;
    while (auto notice = publisher.TakeNotice()) {
        notices.push_back(*notice);
    }
    return notices;
}

// Polls a condition of the publisher (whose state has no wait of its own) within timeout.
template <typename F>
bool WaitUntil(F&& done, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

class MqttPublisherTest : public testing::Test {
protected:
    void SetUp() override {
        if (!CBrokerProcess::Available() || ::access(mqtt_test::kSubscriberPath, X_OK) != 0) {
            GTEST_SKIP() << "no mosquitto (scripts/deps.sh installs mosquitto and "
                            "mosquitto-clients)";
        }
        ASSERT_TRUE(m_broker.Start()) << m_broker.Log();
    }

    // Publishes an end mark and waits for it: at QoS 1 in order, whatever came before it has
    // come too, so the subscriber's list is final without sleeping.
    void Settle(CMqttPublisher& publisher, CSubscriberProcess& subscriber) {
        ASSERT_TRUE(publisher.Publish(kTopic, "end"));
        ASSERT_TRUE(subscriber.WaitForPayload("end", kLong)) << subscriber.Output();
    }

    CBrokerProcess m_broker;
};

// Fifty records arrive once and in order at either QoS; those queued before the connection
// go first.
class MqttPublisherQos : public MqttPublisherTest, public testing::WithParamInterface<int> {};

TEST_P(MqttPublisherQos, FiftyArriveOnceInOrder) {
    CSubscriberProcess subscriber;
    ASSERT_TRUE(subscriber.Start(m_broker.Port(), kTopic, "vornak-sub-order"))
        << subscriber.Output();
    CMqttPublisher publisher(Settings(m_broker.Port(), GetParam()));
    for (const auto& record : Records(0, 5)) {
        ASSERT_TRUE(publisher.Publish(kTopic, record));
    }
    EXPECT_EQ(publisher.Queued(), 5u);
    std::string why;
    ASSERT_TRUE(publisher.Start(why)) << why;
    EXPECT_TRUE(publisher.IsConnected());
    for (const auto& record : Records(5, 50)) {
        ASSERT_TRUE(publisher.Publish(kTopic, record));
    }
    EXPECT_TRUE(publisher.Drain(kLong));
    EXPECT_EQ(publisher.Sent(), 50u);
    EXPECT_EQ(publisher.Queued(), 0u);
    EXPECT_EQ(publisher.Dropped(), 0u);
    Settle(publisher, subscriber);
    std::vector<std::string> expected = Records(0, 50);
    expected.push_back("end");
    EXPECT_EQ(subscriber.Payloads(), expected);
    EXPECT_TRUE(AllNotices(publisher).empty());
    publisher.Stop();
    EXPECT_FALSE(publisher.IsConnected());
}

INSTANTIATE_TEST_SUITE_P(Qos, MqttPublisherQos, testing::Values(0, 1));

// Messages handed over to a broker that froze (SIGSTOP) are never answered; it is then killed
// and started again. libmosquitto sends the unanswered ones again after the reconnection and
// the ones queued meanwhile wait behind them: all arrive, in order, none twice.
TEST_F(MqttPublisherTest, UnansweredAtTheLossGoAgainFirst) {
    CSubscriberProcess subscriber;
    ASSERT_TRUE(subscriber.Start(m_broker.Port(), kTopic, "vornak-sub-frozen"))
        << subscriber.Output();
    // Killed brokers save nothing: write the subscriber's session down now.
    m_broker.Signal(SIGUSR1);
    ASSERT_TRUE(WaitUntil(
        [&] { return ::access((m_broker.Dir() + "/mosquitto.db").c_str(), F_OK) == 0; }, kLong));
    CMqttPublisher publisher(Settings(m_broker.Port(), 1));
    std::string why;
    ASSERT_TRUE(publisher.Start(why)) << why;
    m_broker.Signal(SIGSTOP);
    for (const auto& record : Records(0, 10)) {
        ASSERT_TRUE(publisher.Publish(kTopic, record));
    }
    ASSERT_TRUE(m_broker.Stop(SIGKILL));
    ASSERT_TRUE(WaitUntil([&] { return !publisher.IsConnected(); }, kLong));
    EXPECT_EQ(publisher.Sent(), 0u);
    for (const auto& record : Records(10, 20)) {
        ASSERT_TRUE(publisher.Publish(kTopic, record));
    }
    ASSERT_TRUE(m_broker.Restart()) << m_broker.Log();
    EXPECT_TRUE(publisher.Drain(kLong));
    EXPECT_EQ(publisher.Sent(), 20u);
    Settle(publisher, subscriber);
    std::vector<std::string> expected = Records(0, 20);
    expected.push_back("end");
    EXPECT_EQ(subscriber.Payloads(), expected);
}

TEST_F(MqttPublisherTest, RetainedIsWhatALateSubscriberGets) {
    PublisherSettings settings = Settings(m_broker.Port(), 1);
    settings.retain = true;
    CMqttPublisher publisher(settings);
    std::string why;
    ASSERT_TRUE(publisher.Start(why)) << why;
    ASSERT_TRUE(publisher.Publish(kTopic, Record(1)));
    ASSERT_TRUE(publisher.Publish(kTopic, Record(2)));
    ASSERT_TRUE(publisher.Drain(kLong));
    publisher.Stop();

    CSubscriberProcess late;
    ASSERT_TRUE(late.Start(m_broker.Port(), kTopic, "vornak-sub-late", false));
    ASSERT_TRUE(late.WaitForCount(1, kLong)) << late.Output();
    EXPECT_EQ(late.Payloads(), (std::vector<std::string>{Record(2)}));
    EXPECT_NE(late.Output().find(", r1, "), std::string::npos) << late.Output();
}

TEST_F(MqttPublisherTest, UnusableTopicsAreRefused) {
    CMqttPublisher publisher(Settings(m_broker.Port(), 1));
    for (const std::string& topic :
         {std::string(), std::string("a/+/b"), std::string("a/#"), std::string("a\xff"),
          std::string("a\0b", 3), std::string(65536, 't')}) {
        EXPECT_FALSE(publisher.Publish(topic, "x")) << topic.size();
    }
    EXPECT_TRUE(publisher.Publish("vornak/" + std::string(100, 't'), "x"));
    EXPECT_EQ(publisher.Queued(), 1u);
}

TEST_F(MqttPublisherTest, StopWithTheBrokerGoneIsPrompt) {
    CMqttPublisher publisher(Settings(m_broker.Port(), 1));
    std::string why;
    ASSERT_TRUE(publisher.Start(why)) << why;
    ASSERT_TRUE(m_broker.Stop(SIGTERM));
    ASSERT_TRUE(publisher.Publish(kTopic, Record(1)));
    EXPECT_FALSE(publisher.Drain(200ms));
    publisher.Stop();
    EXPECT_EQ(publisher.Queued(), 1u);  // left unsent, not lost from the count
    // Start again once the broker is back: the message goes.
    ASSERT_TRUE(m_broker.Restart());
    ASSERT_TRUE(publisher.Start(why)) << why;
    EXPECT_TRUE(publisher.Drain(kLong));
}

// A listener that never accepts: the connection is made by the kernel, CONNECT is sent, and
// no answer ever comes.
TEST(MqttPublisherStart, SilentBrokerTimesOut) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(fd, 4), 0);
    ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const std::uint16_t port = ntohs(address.sin_port);

    PublisherSettings settings = Settings(port, 1);
    settings.connectTimeout = 300ms;
    CMqttPublisher publisher(settings);
    std::string why;
    EXPECT_FALSE(publisher.Start(why));
    EXPECT_EQ(why, "mqtt: no answer from the broker at 127.0.0.1:" + std::to_string(port) +
                       " within 300 ms");
    ::close(fd);
}

TEST(MqttPublisherStart, BadSettingsRefusedBeforeConnecting) {
    PublisherSettings settings = Settings(1, 2);
    CMqttPublisher publisher(settings);
    std::string why;
    EXPECT_FALSE(publisher.Start(why));
    EXPECT_EQ(why, "mqtt: QoS must be 0 or 1");
}

class MqttAuthTest : public testing::Test {
protected:
    static constexpr const char* kUser = "vornak";
    static constexpr const char* kPassword = "pa55-for-the-test";

    void SetUp() override {
        if (!CBrokerProcess::Available() || ::access(mqtt_test::kPasswdPath, X_OK) != 0) {
            GTEST_SKIP() << "no mosquitto (scripts/deps.sh installs mosquitto)";
        }
        const std::string file = m_broker.Dir() + "/passwords";
        const auto run = mqtt_test::RunChild(mqtt_test::kPasswdPath,
                                             {"-b", "-c", file, kUser, kPassword}, kLong);
        ASSERT_EQ(run.status, 0) << run.output;
        mqtt_test::BrokerOptions options;
        options.anonymous = false;
        options.passwordFile = file;
        ASSERT_TRUE(m_broker.Start(options)) << m_broker.Log();
    }

    CBrokerProcess m_broker;
};

TEST_F(MqttAuthTest, RefusalIsTheBrokersReasonWithoutThePassword) {
    const std::string refused = "mqtt: the broker at 127.0.0.1:" + std::to_string(m_broker.Port()) +
                                " refused the connection: not authorised";
    struct Case {
        std::string user;
        std::string password;
    };
    for (const Case& c : {Case{"", ""}, Case{kUser, "wrong-secret-123"}, Case{"nobody", kPassword},
                          Case{kUser, ""}}) {
        PublisherSettings settings = Settings(m_broker.Port(), 1);
        settings.user = c.user;
        settings.password = c.password;
        CMqttPublisher publisher(settings);
        std::string why;
        EXPECT_FALSE(publisher.Start(why)) << c.user;
        EXPECT_EQ(why, refused) << c.user;
        EXPECT_EQ(why.find("secret"), std::string::npos);
        EXPECT_EQ(why.find(kPassword), std::string::npos);
    }
}

TEST_F(MqttAuthTest, RightCredentialsPublish) {
    PublisherSettings settings = Settings(m_broker.Port(), 1);
    settings.user = kUser;
    settings.password = kPassword;
    CMqttPublisher publisher(settings);
    std::string why;
    ASSERT_TRUE(publisher.Start(why)) << why;
    ASSERT_TRUE(publisher.Publish(kTopic, Record(1)));
    EXPECT_TRUE(publisher.Drain(kLong));
    EXPECT_EQ(publisher.Sent(), 1u);
}

}  // namespace
