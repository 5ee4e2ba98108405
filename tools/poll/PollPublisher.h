#pragma once

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "tools/poll/PointRecord.h"
#include "tools/poll/PollOptions.h"
#include "tools/poll/PollRecord.h"

namespace mqtt {
class CMqttPublisher;
}

namespace poll {

// What a run publishes to its broker: each poll's records as JSON, one message a poll on the
// URL's topic, or one a point on TOPIC/NAME (TOPIC/SLAVE/NAME when several slaves are asked).
class CPollPublisher {
public:
    // How long the end of a run waits for the broker to take what is queued.
    static constexpr std::chrono::seconds kDrainBound{5};

    // From the options and the environment; nullptr with the reason when the URL, the
    // credentials or the settings cannot work. Nothing is connected yet.
    static std::unique_ptr<CPollPublisher> Make(const PollOptions& options, std::string& why);
    ~CPollPublisher();
    CPollPublisher(const CPollPublisher&) = delete;
    CPollPublisher& operator=(const CPollPublisher&) = delete;

    // Connects; false with the broker's reason.
    bool Start(std::string& why);
    void PublishPoints(const std::vector<PointRecord>& records);
    void PublishRecords(const std::vector<PollRecord>& records);
    // The closing line of the run, after the queue had its time to drain.
    std::string Finish();

private:
    CPollPublisher(std::unique_ptr<mqtt::CMqttPublisher> publisher, bool perPoint, bool slaveTopic,
                   std::FILE* notices);
    void Publish(std::string topic, std::string payload);
    void PrintNotices();

    std::unique_ptr<mqtt::CMqttPublisher> m_publisher;
    bool m_bPerPoint;
    bool m_bSlaveTopic;
    std::FILE* m_notices;
    std::uint64_t m_nRefused = 0;  // messages the publisher would not take
};

}  // namespace poll
