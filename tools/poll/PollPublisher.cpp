#include "tools/poll/PollPublisher.h"

#include <unistd.h>

#include <climits>
#include <cstdint>

#include "platform/RegularFile.h"
#include "tools/mqtt/MqttPublisher.h"

namespace poll {

namespace {

std::string DefaultClientId() {
    char host[HOST_NAME_MAX + 1] = {};
    if (::gethostname(host, sizeof host - 1) != 0) {
        host[0] = '\0';
    }
    std::string id = "vornak-poll-" + std::string(host) + "-" + std::to_string(::getpid());
    return id.substr(0, 128);
}

// The records of a poll as one JSON array.
template <typename Record, typename ToJson>
std::string JsonArray(const std::vector<Record>& records, ToJson toJson) {
    std::string out = "[";
    for (std::size_t i = 0; i < records.size(); ++i) {
        out += (i == 0 ? "" : ",") + toJson(records[i]);
    }
    return out + "]";
}

}  // namespace

std::unique_ptr<CPollPublisher> CPollPublisher::Make(const PollOptions& o, std::string& why) {
    const MqttOptions& m = *o.mqtt;
    const auto url = mqtt::ParseBrokerUrl(m.url, why);
    if (!url) {
        return nullptr;
    }
    if (!m.caFile.empty()) {
        // libmosquitto would read a FIFO or a device named here without end.
        constexpr std::uint64_t kMaxCaBytes = 1024 * 1024;
        std::string problem;
        const int fd = OpenRegularFile(m.caFile, kMaxCaBytes, problem);
        if (fd < 0) {
            why = "--mqtt-ca " + m.caFile + ": " + problem;
            return nullptr;
        }
        ::close(fd);
    }
    mqtt::PublisherSettings settings;
    settings.url = *url;
    settings.caFile = m.caFile;
    settings.qos = m.qos;
    settings.retain = m.retain;
    settings.clientId = m.clientId.empty() ? DefaultClientId() : m.clientId;
    settings.queueLimit = m.queue;
    if (!mqtt::ReadCredentials(settings, why) || !mqtt::CheckSettings(settings, why)) {
        return nullptr;
    }
    return std::unique_ptr<CPollPublisher>(
        new CPollPublisher(std::make_unique<mqtt::CMqttPublisher>(std::move(settings)), m.perPoint,
                           o.slaves.size() > 1, stderr));
}

CPollPublisher::CPollPublisher(std::unique_ptr<mqtt::CMqttPublisher> publisher, bool perPoint,
                               bool slaveTopic, std::FILE* notices)
    : m_publisher(std::move(publisher)),
      m_bPerPoint(perPoint),
      m_bSlaveTopic(slaveTopic),
      m_notices(notices) {}

CPollPublisher::~CPollPublisher() = default;

bool CPollPublisher::Start(std::string& why) {
    return m_publisher->Start(why);
}

void CPollPublisher::Publish(std::string topic, std::string payload) {
    if (!m_publisher->Publish(std::move(topic), std::move(payload))) {
        ++m_nRefused;
    }
}

void CPollPublisher::PrintNotices() {
    while (const auto notice = m_publisher->TakeNotice()) {
        std::fprintf(m_notices, "vornak-poll: %s\n", notice->c_str());
    }
    std::fflush(m_notices);
}

void CPollPublisher::PublishPoints(const std::vector<PointRecord>& records) {
    const std::string& topic = m_publisher->Settings().url.topic;
    if (!m_bPerPoint) {
        Publish(topic, JsonArray(records, PointJson));
    } else {
        for (const PointRecord& record : records) {
            const std::string slave = m_bSlaveTopic ? std::to_string(record.slave) + "/" : "";
            Publish(topic + "/" + slave + record.point->name, PointJson(record));
        }
    }
    PrintNotices();
}

void CPollPublisher::PublishRecords(const std::vector<PollRecord>& records) {
    Publish(m_publisher->Settings().url.topic, JsonArray(records, [](const PollRecord& r) {
                std::string json = FormatRecord(OutputFormat::Json, r);
                json.pop_back();  // the line's end
                return json;
            }));
    PrintNotices();
}

std::string CPollPublisher::Finish() {
    m_publisher->Drain(kDrainBound);
    m_publisher->Stop();
    PrintNotices();
    const std::uint64_t unsent = m_publisher->Queued();
    std::string out = "mqtt: " + std::to_string(m_publisher->Sent()) + " published, " +
                      std::to_string(m_publisher->Dropped()) + " dropped (queue full), " +
                      std::to_string(unsent) + " unsent";
    if (m_nRefused > 0) {
        out += ", " + std::to_string(m_nRefused) + " refused";
    }
    return out + "\n";
}

}  // namespace poll
