#include "tools/mqtt/MqttPublisher.h"

#include <mosquitto.h>
#include <pthread.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "tools/mqtt/MosquittoLibrary.h"
#include "tools/mqtt/MosquittoText.h"

namespace mqtt {

namespace {

constexpr int kKeepAliveSeconds = 20;
constexpr auto kReconnectDelay = std::chrono::seconds(1);
constexpr auto kReconnectDelayMax = std::chrono::seconds(5);
// At QoS 1 the window is libmosquitto's own in-flight limit, set to the same below, so that
// every unacknowledged message is sent again at once after a reconnection.
constexpr std::size_t kQos1Window = 20;
constexpr std::size_t kQos0Window = 64;
constexpr std::size_t kMaxNotices = 32;
// The protocol's largest remaining length, less room for the topic and the packet id.
constexpr std::size_t kMaxPayloadBytes = 268435455 - kMaxTopicBytes - 4;
constexpr auto kDisconnectWait = std::chrono::seconds(2);
constexpr const char* kSystemCaFolder = "/etc/ssl/certs";

// libmosquitto's thread ends for good, without reconnecting, after these: the codes its loop
// treats as fatal, and a TLS session cut off without a goodbye (errno EPROTO).
bool LoopGivesUp(int rc, int err) {
    switch (rc) {
        case MOSQ_ERR_NOMEM:
        case MOSQ_ERR_PROTOCOL:
        case MOSQ_ERR_INVAL:
        case MOSQ_ERR_NOT_FOUND:
        case MOSQ_ERR_TLS:
        case MOSQ_ERR_PAYLOAD_SIZE:
        case MOSQ_ERR_NOT_SUPPORTED:
        case MOSQ_ERR_AUTH:
        case MOSQ_ERR_ACL_DENIED:
        case MOSQ_ERR_UNKNOWN:
        case MOSQ_ERR_EAI:
        case MOSQ_ERR_PROXY:
            return true;
        default:
            return rc != MOSQ_ERR_SUCCESS && err == EPROTO;
    }
}

bool TopicUsable(const std::string& topic) {
    return !topic.empty() && topic.size() <= kMaxTopicBytes &&
           topic.find('\0') == std::string::npos &&
           mosquitto_pub_topic_check2(topic.c_str(), topic.size()) == MOSQ_ERR_SUCCESS &&
           mosquitto_validate_utf8(topic.c_str(), static_cast<int>(topic.size())) ==
               MOSQ_ERR_SUCCESS;
}

// libmosquitto's thread runs the callbacks and may be cancelled by a forced stop; a
// cancellation inside one would leave our lock and the client's state half changed.
class CNoCancel {
public:
    CNoCancel() { ::pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &m_nOld); }
    ~CNoCancel() { ::pthread_setcancelstate(m_nOld, nullptr); }
    CNoCancel(const CNoCancel&) = delete;
    CNoCancel& operator=(const CNoCancel&) = delete;

private:
    int m_nOld = PTHREAD_CANCEL_ENABLE;
};

// Runs a callback's work with errno kept (libmosquitto's loop reads it after the callback)
// and no exception let out into C.
template <typename F>
void Guarded(F&& work) {
    const int err = errno;
    CNoCancel noCancel;
    try {
        work(err);
    } catch (...) {
    }
    errno = err;
}

}  // namespace

CMqttPublisher::CMqttPublisher(PublisherSettings settings)
    : m_settings(std::move(settings)),
      m_strAddress(BrokerAddress(m_settings.url)),
      m_queue(m_settings.queueLimit) {}

CMqttPublisher::~CMqttPublisher() {
    Stop();
}

void CMqttPublisher::OnConnect(struct mosquitto*, void* self, int code) {
    Guarded([&](int) { static_cast<CMqttPublisher*>(self)->HandleConnect(code); });
}

void CMqttPublisher::OnDisconnect(struct mosquitto*, void* self, int rc) {
    Guarded([&](int err) { static_cast<CMqttPublisher*>(self)->HandleDisconnect(rc, err); });
}

void CMqttPublisher::OnPublish(struct mosquitto*, void* self, int mid) {
    Guarded([&](int) { static_cast<CMqttPublisher*>(self)->HandlePublish(mid); });
}

void CMqttPublisher::OnLog(struct mosquitto*, void* self, int level, const char* line) {
    Guarded([&](int) { static_cast<CMqttPublisher*>(self)->HandleLog(level, line); });
}

bool CMqttPublisher::Configure(std::string& why) {
    mosquitto_int_option(m_pMosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    // Records are small and each should leave at once, not wait for the next.
    mosquitto_int_option(m_pMosq, MOSQ_OPT_TCP_NODELAY, 1);
    mosquitto_int_option(m_pMosq, MOSQ_OPT_SEND_MAXIMUM, static_cast<int>(kQos1Window));
    mosquitto_reconnect_delay_set(m_pMosq, static_cast<unsigned>(kReconnectDelay.count()),
                                  static_cast<unsigned>(kReconnectDelayMax.count()), false);
    if (!m_settings.user.empty()) {
        const char* password = m_settings.password.empty() ? nullptr : m_settings.password.c_str();
        if (mosquitto_username_pw_set(m_pMosq, m_settings.user.c_str(), password) !=
            MOSQ_ERR_SUCCESS) {
            why = "mqtt: the user name or password cannot be used";
            return false;
        }
    }
    if (m_settings.url.tls) {
        const bool ownCa = !m_settings.caFile.empty();
        const int rc =
            mosquitto_tls_set(m_pMosq, ownCa ? m_settings.caFile.c_str() : nullptr,
                              ownCa ? nullptr : kSystemCaFolder, nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            why = ownCa ? "mqtt: cannot read the CA file " + m_settings.caFile
                        : std::string("mqtt: cannot use the system's CA folder ") + kSystemCaFolder;
            return false;
        }
        // Verify the broker's certificate and that it names the host we asked for.
        if (mosquitto_tls_opts_set(m_pMosq, 1, nullptr, nullptr) != MOSQ_ERR_SUCCESS ||
            mosquitto_tls_insecure_set(m_pMosq, false) != MOSQ_ERR_SUCCESS) {
            why = "mqtt: TLS cannot be set up";
            return false;
        }
    }
    mosquitto_connect_callback_set(m_pMosq, &CMqttPublisher::OnConnect);
    mosquitto_disconnect_callback_set(m_pMosq, &CMqttPublisher::OnDisconnect);
    mosquitto_publish_callback_set(m_pMosq, &CMqttPublisher::OnPublish);
    // Only while connecting: TLS failures are told in the log alone.
    mosquitto_log_callback_set(m_pMosq, &CMqttPublisher::OnLog);
    return true;
}

bool CMqttPublisher::Start(std::string& why) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_pMosq != nullptr) {
            why = "mqtt: already started";
            return false;
        }
    }
    if (!CheckSettings(m_settings, why)) {
        return false;
    }
    EnsureMosquittoLibrary();
    struct mosquitto* mosq = mosquitto_new(
        m_settings.clientId.empty() ? nullptr : m_settings.clientId.c_str(), true, this);
    if (mosq == nullptr) {
        why = "mqtt: cannot make a client: " + ResultWords(MOSQ_ERR_ERRNO, errno);
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pMosq = mosq;
        m_bStopping = false;
        m_bLoopEnded = false;
        m_bLoopRunning = false;
        m_start = StartState::Waiting;
        m_strStartReason.clear();
    }
    if (!Configure(why)) {
        Abandon();
        return false;
    }
    errno = 0;
    int rc = mosquitto_connect_async(mosq, m_settings.url.host.c_str(), m_settings.url.port,
                                     kKeepAliveSeconds);
    const int err = errno;
    if (rc != MOSQ_ERR_SUCCESS) {
        std::lock_guard<std::mutex> lock(m_mutex);
        why = !m_strStartReason.empty()
                  ? m_strStartReason
                  : "mqtt: cannot connect to " + m_strAddress + ": " + ResultWords(rc, err);
    } else if ((rc = mosquitto_loop_start(mosq)) != MOSQ_ERR_SUCCESS) {
        why = "mqtt: cannot start the network thread: " + ResultWords(rc, errno);
    }
    if (rc != MOSQ_ERR_SUCCESS) {
        Abandon();
        return false;
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    m_bLoopRunning = true;
    m_changed.wait_for(lock, m_settings.connectTimeout,
                       [this] { return m_start != StartState::Waiting; });
    if (m_start == StartState::Connected) {
        lock.unlock();
        mosquitto_log_callback_set(mosq, nullptr);
        try {
            m_keeper = std::thread([this] { Keep(); });
        } catch (const std::system_error&) {
            // Without it the publisher still works; only a TLS session cut off for good
            // would not be started again.
        }
        return true;
    }
    why = m_start == StartState::Waiting
              ? "mqtt: no answer from the broker at " + m_strAddress + " within " +
                    std::to_string(m_settings.connectTimeout.count()) + " ms"
              : m_strStartReason;
    lock.unlock();
    Abandon();
    return false;
}

void CMqttPublisher::Abandon() {
    bool loopRunning;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStopping = true;
        loopRunning = m_bLoopRunning;
    }
    if (loopRunning) {
        // Not connected: the thread may sit in a connect that could take minutes.
        mosquitto_disconnect(m_pMosq);
        mosquitto_loop_stop(m_pMosq, true);
    }
    Destroy();
}

void CMqttPublisher::Stop() {
    bool connected;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_pMosq == nullptr || m_bStopping) {
            return;
        }
        m_bStopping = true;
        connected = m_bConnected;
        m_changed.notify_all();
    }
    if (m_keeper.joinable()) {
        m_keeper.join();
    }
    bool loopRunning;
    bool loopEnded;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        loopRunning = m_bLoopRunning;
        loopEnded = m_bLoopEnded;
    }
    if (loopRunning && loopEnded) {
        // It ended by itself; only the join is left.
        mosquitto_loop_stop(m_pMosq, false);
    } else if (loopRunning) {
        bool clean = false;
        if (connected && mosquitto_disconnect(m_pMosq) == MOSQ_ERR_SUCCESS) {
            std::unique_lock<std::mutex> lock(m_mutex);
            clean = m_changed.wait_for(lock, kDisconnectWait, [this] { return !m_bConnected; });
        } else {
            mosquitto_disconnect(m_pMosq);
        }
        // Without a clean goodbye the thread may be in a connect that could take minutes.
        mosquitto_loop_stop(m_pMosq, !clean);
    }
    Destroy();
}

void CMqttPublisher::Destroy() {
    mosquitto_destroy(m_pMosq);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pMosq = nullptr;
    m_bConnected = false;
    m_bResending = false;
    m_bLoopRunning = false;
    m_bStopping = false;
    m_start = StartState::Idle;
    m_queue.ReturnInFlight();
    m_changed.notify_all();
}

void CMqttPublisher::Keep() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_bStopping || m_bLoopEnded; });
        if (m_bStopping) {
            return;
        }
        lock.unlock();
        // Set to disconnecting, the thread ends even if it had not given up after all, so
        // the join cannot hang.
        mosquitto_disconnect(m_pMosq);
        mosquitto_loop_stop(m_pMosq, false);
        lock.lock();
        m_bLoopRunning = false;
        auto delay = std::chrono::duration_cast<std::chrono::milliseconds>(kReconnectDelay);
        while (!m_bLoopRunning) {
            if (m_changed.wait_for(lock, delay, [this] { return m_bStopping; })) {
                return;
            }
            lock.unlock();
            // Connected (TLS included) here, so that a failure comes back as a code; the
            // thread then takes over and reconnects by itself again.
            int rc = mosquitto_reconnect(m_pMosq);
            if (rc == MOSQ_ERR_SUCCESS) {
                rc = mosquitto_loop_start(m_pMosq);
            }
            lock.lock();
            if (rc == MOSQ_ERR_SUCCESS) {
                m_bLoopRunning = true;
                m_bLoopEnded = false;
            } else {
                delay = std::min<std::chrono::milliseconds>(delay + kReconnectDelay,
                                                            kReconnectDelayMax);
            }
        }
    }
}

bool CMqttPublisher::Publish(std::string topic, std::string payload) {
    if (!TopicUsable(topic) || payload.size() > kMaxPayloadBytes) {
        return false;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_queue.Push(QueuedMessage{std::move(topic), std::move(payload)}) > 0 && !m_bDropNoted) {
        m_bDropNoted = true;
        Note("mqtt: the queue is full (" + std::to_string(m_queue.Limit()) +
             " messages); the oldest are dropped");
    }
    Pump();
    return true;
}

void CMqttPublisher::Pump() {
    if (m_pMosq == nullptr || !m_bConnected || m_bStopping || m_bResending) {
        return;
    }
    const std::size_t window = m_settings.qos > 0 ? kQos1Window : kQos0Window;
    while (m_queue.InFlight() < window) {
        const QueuedMessage* next = m_queue.NextWaiting();
        if (next == nullptr) {
            return;
        }
        int mid = 0;
        const int rc = mosquitto_publish(m_pMosq, &mid, next->topic.c_str(),
                                         static_cast<int>(next->payload.size()),
                                         next->payload.data(), m_settings.qos, m_settings.retain);
        if (rc == MOSQ_ERR_SUCCESS) {
            m_queue.MarkInFlight(mid);
            continue;
        }
        if (rc == MOSQ_ERR_NO_CONN) {
            // The connection went before its loss was reported. At QoS 1 libmosquitto kept
            // the message and sends it after the reconnection; at QoS 0 it waits here.
            if (m_settings.qos > 0) {
                m_queue.MarkInFlight(mid);
            }
            return;
        }
        if (rc == MOSQ_ERR_NOMEM) {
            return;
        }
        // Anything else will never go; it must not hold up the ones behind it.
        Note("mqtt: a message to " + next->topic + " cannot be sent (" + ResultWords(rc, 0) +
             "); dropped");
        m_queue.DropNextWaiting();
        if (m_queue.Size() == 0) {
            m_changed.notify_all();
        }
    }
}

void CMqttPublisher::HandleConnect(int code) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (code != 0) {
        const std::string words = ConnackWords(code);
        if (m_start == StartState::Waiting) {
            m_start = StartState::Failed;
            m_strStartReason =
                "mqtt: the broker at " + m_strAddress + " refused the connection: " + words;
        } else if (words != m_strLastRefusal) {
            // It refuses every few seconds while it does: say so once.
            m_strLastRefusal = words;
            m_bLostNoted = true;
            Note("mqtt: the broker refused the connection (" + words + "); messages wait, " +
                 QueuedText());
        }
        m_changed.notify_all();
        return;
    }
    m_bConnected = true;
    m_strLastRefusal.clear();
    if (m_start == StartState::Waiting) {
        m_start = StartState::Connected;
    } else if (m_bLostNoted) {
        Note("mqtt: broker back; sending " + QueuedText());
    }
    m_bLostNoted = false;
    m_bDropNoted = false;
    m_bResending = m_settings.qos > 0 && m_queue.InFlight() > 0;
    Pump();
    m_changed.notify_all();
}

void CMqttPublisher::HandleDisconnect(int rc, int err) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const bool wasConnected = m_bConnected;
    m_bConnected = false;
    m_bResending = false;
    // libmosquitto forgets the QoS 0 packets it had not written yet; the QoS 1 ones it keeps
    // and sends again itself.
    if (m_settings.qos == 0) {
        m_queue.ReturnInFlight();
    }
    if (m_start == StartState::Waiting) {
        m_start = StartState::Failed;
        m_strStartReason = "mqtt: cannot connect to " + m_strAddress + ": " + ResultWords(rc, err);
    } else if (!m_bStopping && rc != MOSQ_ERR_SUCCESS && wasConnected) {
        m_bLostNoted = true;
        Note("mqtt: broker lost (" + ResultWords(rc, err) + "); messages wait, " + QueuedText());
    }
    if (!m_bStopping && m_start == StartState::Connected && LoopGivesUp(rc, err)) {
        m_bLoopEnded = true;
    }
    m_changed.notify_all();
}

void CMqttPublisher::HandlePublish(int mid) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_queue.Acknowledge(mid)) {
        ++m_nSent;
    }
    if (m_bResending && m_queue.InFlight() == 0) {
        m_bResending = false;
    }
    Pump();
    // Only Drain waits on the queue, and only for its end: waking it for every answer would
    // cost a context switch per message.
    if (m_queue.Size() == 0) {
        m_changed.notify_all();
    }
}

void CMqttPublisher::HandleLog(int level, const char* line) {
    if (level != MOSQ_LOG_ERR || line == nullptr) {
        return;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_start != StartState::Waiting || !m_strStartReason.empty()) {
        return;
    }
    m_start = StartState::Failed;
    m_strStartReason = (m_settings.url.tls ? "mqtt: TLS with " + m_strAddress + " failed: "
                                           : "mqtt: cannot connect to " + m_strAddress + ": ") +
                       LogLineWords(line);
    m_changed.notify_all();
}

void CMqttPublisher::Note(std::string text) {
    if (m_notices.size() >= kMaxNotices) {
        m_notices.pop_front();
    }
    m_notices.push_back(std::move(text));
}

std::string CMqttPublisher::QueuedText() const {
    return std::to_string(m_queue.Size()) + " queued";
}

bool CMqttPublisher::Drain(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, limit, [this] { return m_queue.Size() == 0; });
}

std::uint64_t CMqttPublisher::Sent() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nSent;
}

std::uint64_t CMqttPublisher::Dropped() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_queue.Dropped();
}

std::size_t CMqttPublisher::Queued() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_queue.Size();
}

bool CMqttPublisher::IsConnected() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bConnected;
}

std::optional<std::string> CMqttPublisher::TakeNotice() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_notices.empty()) {
        return std::nullopt;
    }
    std::string text = std::move(m_notices.front());
    m_notices.pop_front();
    return text;
}

}  // namespace mqtt
