#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "tools/mqtt/MessageQueue.h"
#include "tools/mqtt/PublisherSettings.h"

struct mosquitto;

namespace mqtt {

// Publishes records to one broker without ever holding up the caller on the network.
// Messages wait in a bounded queue; libmosquitto's own thread sends them while connected and
// reconnects by itself when the broker goes away. At QoS 1 a message leaves the queue when the
// broker acknowledged it, at QoS 0 when it was handed to the socket. Order is kept, also
// across a reconnection. All members may be called from any thread.
class CMqttPublisher {
public:
    explicit CMqttPublisher(PublisherSettings settings);
    ~CMqttPublisher();
    CMqttPublisher(const CMqttPublisher&) = delete;
    CMqttPublisher& operator=(const CMqttPublisher&) = delete;

    // Connects and waits at most the settings' connect time-out for the broker's answer.
    // false with a one-line reason: the broker's refusal, the socket's error, TLS, or no
    // answer in time. Nothing of the password is ever in a text.
    bool Start(std::string& why);

    // Queues a message; false (and nothing queued) when the topic cannot be published to
    // (empty, wildcards, not UTF-8, too long) or the payload is too large for the protocol.
    bool Publish(std::string topic, std::string payload);

    // Waits until every queued message is sent (acknowledged at QoS 1) or the limit passes;
    // true when the queue is empty.
    bool Drain(std::chrono::milliseconds limit);

    // Disconnects cleanly and stops the network thread; what is still queued stays unsent.
    void Stop();

    std::uint64_t Sent() const;
    std::uint64_t Dropped() const;
    std::size_t Queued() const;
    bool IsConnected() const;

    // The oldest state change note not yet taken, e.g. "mqtt: broker lost (connection lost);
    // messages wait, 12 queued", for the caller to print.
    std::optional<std::string> TakeNotice();

    const PublisherSettings& Settings() const { return m_settings; }

private:
    enum class StartState { Idle, Waiting, Connected, Failed };

    static void OnConnect(struct mosquitto* mosq, void* self, int code);
    static void OnDisconnect(struct mosquitto* mosq, void* self, int rc);
    static void OnPublish(struct mosquitto* mosq, void* self, int mid);
    static void OnLog(struct mosquitto* mosq, void* self, int level, const char* line);

    void HandleConnect(int code);
    void HandleDisconnect(int rc, int err);
    void HandlePublish(int mid);
    void HandleLog(int level, const char* line);

    // Hands waiting messages to libmosquitto while connected, up to the in-flight window.
    // m_mutex held.
    void Pump();
    void Note(std::string text);  // m_mutex held
    std::string QueuedText() const;
    bool Configure(std::string& why);
    void Abandon();
    // Frees the client and forgets the session; what waited stays queued, in order.
    void Destroy();
    // Starts libmosquitto's thread again when it gave up on the connection for good.
    void Keep();

    PublisherSettings m_settings;
    std::string m_strAddress;
    struct mosquitto* m_pMosq = nullptr;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    CMessageQueue m_queue;
    std::uint64_t m_nSent = 0;
    StartState m_start = StartState::Idle;
    std::string m_strStartReason;
    bool m_bConnected = false;
    bool m_bStopping = false;
    // After a reconnection libmosquitto sends the unacknowledged QoS 1 messages again itself;
    // nothing new goes out until those are answered, so the broker sees them in order.
    bool m_bResending = false;
    bool m_bLoopRunning = false;  // libmosquitto's thread started and not yet joined
    bool m_bLoopEnded = false;    // it gave up on the connection; the keeper starts it again
    bool m_bLostNoted = false;
    bool m_bDropNoted = false;
    std::string m_strLastRefusal;
    std::deque<std::string> m_notices;
    std::thread m_keeper;
};

}  // namespace mqtt
