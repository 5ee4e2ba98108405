// vornak-poll publishing a meter read by its profile to Debian's mosquitto broker, read back by
// mosquitto_sub: every poll arrives once at QoS 1, also across a broker stopped for 3 s; a
// queue too short for an outage drops the oldest and says how many; a broker that refuses at
// the start ends the run with its reason before anything goes on the line.

#include <signal.h>

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <thread>

#include "BrokerProcess.h"
#include "SlaveProcess.h"
#include "SubscriberProcess.h"

using namespace std::chrono_literals;
using mqtt_test::CBrokerProcess;
using mqtt_test::CSubscriberProcess;

namespace {

const std::string kMeter = std::string(VORNAK_SOURCE_DIR) + "/examples/meter.toml";

// The time stamps of the polls the messages carry, each once.
std::set<std::string> PollTimes(const std::vector<std::string>& payloads) {
    static const std::regex time(R"re("time":"([^"]+)")re");
    std::set<std::string> times;
    for (const std::string& payload : payloads) {
        std::smatch m;
        if (std::regex_search(payload, m, time)) {
            times.insert(m.str(1));
        }
    }
    return times;
}

class PollMqtt : public ::testing::Test {
protected:
    void SetUp() override {
        if (!CBrokerProcess::Available()) {
            GTEST_SKIP() << "no mosquitto (scripts/deps.sh installs it)";
        }
        ASSERT_TRUE(m_broker.Start()) << m_broker.Log();
        ASSERT_TRUE(m_slave.Start({"--tcp", "0", "--config", Config()})) << m_slave.FirstLine();
    }
    std::string Config() {
        const std::string path = m_broker.Dir() + "/meter-sim.toml";
        std::FILE* file = std::fopen(path.c_str(), "w");
        std::fprintf(file, "[[unit]]\nid = 1\nprofile = \"%s\"\n", kMeter.c_str());
        std::fclose(file);
        return path;
    }
    std::string Url(const std::string& topic) const {
        return "mqtt://127.0.0.1:" + std::to_string(m_broker.Port()) + "/" + topic;
    }
    std::vector<std::string> Args(const std::vector<std::string>& extra) const {
        std::vector<std::string> args{"--map", kMeter, "-m", "tcp"};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back(m_slave.Path());
        return args;
    }

    CBrokerProcess m_broker;
    CSlaveProcess m_slave;
};

}  // namespace

TEST_F(PollMqtt, EveryPollArrivesOnceAlsoAcrossABrokerRestart) {
    CSubscriberProcess sub;
    ASSERT_TRUE(sub.Start(m_broker.Port(), "plant/meter1", "vornak-poll-test-sub")) << sub.Output();
    const SlaveRun run = RunProgramToEnd(
        VORNAK_POLL_PATH,
        Args({"-n", "50", "-i", "100", "--mqtt", Url("plant/meter1"), "--mqtt-qos", "1"}), 60s,
        [&](pid_t) {
            ASSERT_TRUE(sub.WaitForCount(10, 20s)) << sub.Output();
            ASSERT_TRUE(m_broker.Stop(SIGTERM));
            std::this_thread::sleep_for(3s);
            ASSERT_TRUE(m_broker.Restart()) << m_broker.Log();
        });
    EXPECT_EQ(run.status, 0) << run.err;
    ASSERT_TRUE(sub.WaitForCount(50, 20s)) << sub.Output() << run.err;
    std::this_thread::sleep_for(300ms);  // a late duplicate would come now
    const std::vector<std::string> payloads = sub.Payloads();
    // None lost; at QoS 1 the one the broker took as it stopped, unacknowledged, may come twice.
    EXPECT_EQ(PollTimes(payloads).size(), 50u);
    EXPECT_LE(payloads.size(), 51u);
    // Each message is one poll: the meter's 19 points as the JSON lines print them.
    static const std::regex point(R"(\{"time":"[^"]+","slave":1,"name":"[a-z0-9_]+",)");
    EXPECT_EQ(std::distance(std::sregex_iterator(payloads[0].begin(), payloads[0].end(), point),
                            std::sregex_iterator()),
              19)
        << payloads[0];
    EXPECT_NE(run.err.find("mqtt: 50 published, 0 dropped (queue full), 0 unsent\n"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("broker lost"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("--- " + m_slave.Path() + " ---\n50 polls, 150 requests, 150 OK"),
              std::string::npos)
        << run.err;
}

TEST_F(PollMqtt, OnePointAMessageAndAShortQueueDropsTheOldest) {
    CSubscriberProcess volts, hertz;
    ASSERT_TRUE(volts.Start(m_broker.Port(), "plant/m/voltage_l1", "vornak-poll-test-v"));
    ASSERT_TRUE(hertz.Start(m_broker.Port(), "plant/m/frequency", "vornak-poll-test-f"));
    const SlaveRun points = RunProgramToEnd(
        VORNAK_POLL_PATH,
        Args({"--mqtt", Url("plant/m"), "--mqtt-per-point", "voltage_l1", "frequency"}), 20s);
    EXPECT_EQ(points.status, 0) << points.err;
    ASSERT_TRUE(volts.WaitForCount(1, 10s) && hertz.WaitForCount(1, 10s)) << volts.Output();
    EXPECT_NE(volts.Payloads()[0].find(R"("name":"voltage_l1","value":)"), std::string::npos);
    EXPECT_NE(hertz.Payloads()[0].find(R"("name":"frequency","value":)"), std::string::npos);

    // The broker goes away after the first poll: polling goes on, 5 messages wait, the rest
    // drop.
    CSubscriberProcess queued;
    ASSERT_TRUE(queued.Start(m_broker.Port(), "plant/q", "vornak-poll-test-q", false));
    const SlaveRun outage = RunProgramToEnd(
        VORNAK_POLL_PATH,
        Args({"-n", "20", "-i", "50", "--mqtt", Url("plant/q"), "--mqtt-queue", "5", "voltage_l1"}),
        30s, [&](pid_t) {
            ASSERT_TRUE(queued.WaitForCount(1, 10s)) << queued.Output();
            ASSERT_TRUE(m_broker.Stop(SIGTERM));
        });
    EXPECT_EQ(outage.status, 0) << outage.err;
    EXPECT_NE(outage.err.find("20 polls, 20 requests, 20 OK"), std::string::npos) << outage.err;
    static const std::regex summary(
        R"(mqtt: (\d+) published, (\d+) dropped \(queue full\), (\d+) unsent)");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(outage.err, m, summary)) << outage.err;
    EXPECT_EQ(std::stoi(m.str(1)) + std::stoi(m.str(2)) + std::stoi(m.str(3)), 20) << outage.err;
    EXPECT_EQ(std::stoi(m.str(3)), 5) << outage.err;
    EXPECT_GE(std::stoi(m.str(2)), 10) << outage.err;
    EXPECT_NE(outage.err.find("dropped"), outage.err.rfind("dropped")) << outage.err;
}

TEST_F(PollMqtt, ABrokerThatRefusesAtTheStartEndsTheRunBeforeTheLineOpens) {
    ASSERT_TRUE(m_broker.Stop(SIGTERM));
    const SlaveRun gone = RunProgramToEnd(
        VORNAK_POLL_PATH, Args({"--mqtt", Url("plant/x"), "--trace", m_broker.Dir() + "/t"}), 20s);
    EXPECT_EQ(gone.status, 2);
    EXPECT_NE(gone.err.find("Connection refused"), std::string::npos) << gone.err;
    EXPECT_EQ(gone.out, "");

    const SlaveRun bad =
        RunProgramToEnd(VORNAK_POLL_PATH, Args({"--mqtt", "mqtt://127.0.0.1"}), 10s);
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("vornak-poll: --mqtt: "), std::string::npos) << bad.err;
}
