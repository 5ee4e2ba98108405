#pragma once

#include <sys/types.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace mqtt_test {

// mosquitto_sub on the test broker at QoS 1, its output read through a pipe: with -v every
// message is a line "TOPIC PAYLOAD", with -d a "received PUBLISH" line naming the topic comes
// before each.
class CSubscriberProcess {
public:
    CSubscriberProcess() = default;
    ~CSubscriberProcess();
    CSubscriberProcess(const CSubscriberProcess&) = delete;
    CSubscriberProcess& operator=(const CSubscriberProcess&) = delete;

    // Subscribes under the client id, with clean session off (-c) when persistent so the
    // subscription outlives a broker restart; true once the broker acknowledged it.
    bool Start(std::uint16_t port, const std::string& topic, const std::string& id,
               bool persistent = true);
    void Stop();

    // The payloads in the order they came, and the topic of each (the filter may hold
    // wildcards).
    std::vector<std::string> Payloads() { return Locked(m_payloads); }
    std::vector<std::string> Topics() { return Locked(m_topics); }
    // Waits until done holds for the payloads so far; false when timeout passed first.
    bool WaitFor(const std::function<bool(const std::vector<std::string>&)>& done,
                 std::chrono::milliseconds timeout);
    bool WaitForCount(std::size_t n, std::chrono::milliseconds timeout) {
        return WaitFor([n](const auto& p) { return p.size() >= n; }, timeout);
    }
    // Waits for a payload; with QoS 1 in order, everything published before it has come.
    bool WaitForPayload(const std::string& payload, std::chrono::milliseconds timeout) {
        return WaitFor([&](const auto& p) { return std::ranges::count(p, payload) > 0; }, timeout);
    }
    // Everything it printed, for a failing test's message.
    std::string Output() { return Locked(m_strOutput); }

private:
    void Read(int fd);
    void Line(const std::string& line);
    template <typename T>
    T Locked(const T& value) {
        std::lock_guard<std::mutex> lock(m_mutex);
        return value;
    }

    pid_t m_pid = -1;
    std::thread m_reader;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_payloads;
    std::vector<std::string> m_topics;
    std::string m_strNextTopic;  // named by the PUBLISH line, its message line next
    std::string m_strOutput;
    bool m_bSubscribed = false;
    bool m_bEnded = false;
};

}  // namespace mqtt_test
