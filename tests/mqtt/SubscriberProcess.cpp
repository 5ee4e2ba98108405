#include "SubscriberProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "BrokerProcess.h"
#include "ChildProcess.h"

namespace mqtt_test {

namespace {

constexpr auto kSubscribeTimeout = std::chrono::seconds(10);
constexpr std::size_t kMaxOutput = 1 << 20;
constexpr const char* kStdbufPath = "/usr/bin/stdbuf";

}  // namespace

CSubscriberProcess::~CSubscriberProcess() {
    Stop();
}

bool CSubscriberProcess::Start(std::uint16_t port, const std::string& topic, const std::string& id,
                               bool persistent) {
    if (m_pid > 0) {
        return false;
    }
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return false;
    }
    // mosquitto_sub flushes its output after a message only; line buffering makes its
    // SUBACK line come when it happens.
    std::vector<std::string> args{"-oL", kSubscriberPath,
                                  "-h",  "127.0.0.1",
                                  "-p",  std::to_string(port),
                                  "-t",  topic,
                                  "-q",  "1",
                                  "-i",  id,
                                  "-v",  "-d"};
    if (persistent) {
        args.push_back("-c");
    }
    m_pid = SpawnChild(kStdbufPath, args, fds[1]);
    ::close(fds[1]);
    if (m_pid < 0) {
        ::close(fds[0]);
        return false;
    }
    m_reader = std::thread([this, fd = fds[0]] { Read(fd); });
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, kSubscribeTimeout, [this] {
        return m_bSubscribed || m_bEnded;
    }) && m_bSubscribed;
}

void CSubscriberProcess::Stop() {
    if (m_pid > 0) {
        EndChild(m_pid, SIGTERM, std::chrono::seconds(5));
        m_pid = -1;
    }
    if (m_reader.joinable()) {
        m_reader.join();
    }
}

void CSubscriberProcess::Read(int fd) {
    std::string pending;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        pending.append(buffer, static_cast<std::size_t>(n));
        std::lock_guard<std::mutex> lock(m_mutex);
        std::size_t nl;
        while ((nl = pending.find('\n')) != std::string::npos) {
            const std::string line = pending.substr(0, nl);
            pending.erase(0, nl + 1);
            if (m_strOutput.size() < kMaxOutput) {
                m_strOutput += line + "\n";
            }
            // "Client ID received PUBLISH (d0, q1, r0, m1, 'TOPIC', ... (N bytes))" comes
            // before each message, so a wildcard subscription's topics are known too.
            const std::size_t publish = line.find(" received PUBLISH (");
            if (publish != std::string::npos) {
                const std::size_t open = line.find('\'', publish);
                const std::size_t close = line.find("', ", open + 1);
                m_strNextTopic = open != std::string::npos && close != std::string::npos
                                     ? line.substr(open + 1, close - open - 1)
                                     : std::string();
            } else if (!m_strNextTopic.empty() &&
                       line.compare(0, m_strNextTopic.size() + 1, m_strNextTopic + " ") == 0) {
                m_topics.push_back(m_strNextTopic);
                m_payloads.push_back(line.substr(m_strNextTopic.size() + 1));
                m_strNextTopic.clear();
            } else if (line.find("received SUBACK") != std::string::npos) {
                m_bSubscribed = true;
            }
        }
        m_changed.notify_all();
    }
    ::close(fd);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bEnded = true;
    m_changed.notify_all();
}

std::vector<std::string> CSubscriberProcess::Payloads() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_payloads;
}

std::vector<std::string> CSubscriberProcess::Topics() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_topics;
}

bool CSubscriberProcess::WaitFor(const std::function<bool(const std::vector<std::string>&)>& done,
                                 std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return done(m_payloads); });
}

bool CSubscriberProcess::WaitForCount(std::size_t n, std::chrono::milliseconds timeout) {
    return WaitFor([n](const std::vector<std::string>& p) { return p.size() >= n; }, timeout);
}

bool CSubscriberProcess::WaitForPayload(const std::string& payload,
                                        std::chrono::milliseconds timeout) {
    return WaitFor(
        [&](const std::vector<std::string>& p) {
            return std::find(p.begin(), p.end(), payload) != p.end();
        },
        timeout);
}

std::string CSubscriberProcess::Output() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_strOutput;
}

}  // namespace mqtt_test
