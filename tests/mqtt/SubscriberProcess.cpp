#include "SubscriberProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include "BrokerProcess.h"
#include "ChildProcess.h"

namespace mqtt_test {

CSubscriberProcess::~CSubscriberProcess() {
    Stop();
}

bool CSubscriberProcess::Start(std::uint16_t port, const std::string& topic, const std::string& id,
                               bool persistent) {
    int fds[2];
    if (m_pid > 0 || ::pipe2(fds, O_CLOEXEC) != 0) {
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
    m_pid = SpawnChild("/usr/bin/stdbuf", args, fds[1]);
    ::close(fds[1]);
    if (m_pid < 0) {
        ::close(fds[0]);
        return false;
    }
    m_reader = std::thread([this, fd = fds[0]] { Read(fd); });
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait_for(lock, std::chrono::seconds(10),
                       [this] { return m_bSubscribed || m_bEnded; });
    return m_bSubscribed;
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
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) {
        pending.append(buffer, static_cast<std::size_t>(n));
        std::lock_guard<std::mutex> lock(m_mutex);
        for (std::size_t nl; (nl = pending.find('\n')) != std::string::npos;) {
            Line(pending.substr(0, nl));
            pending.erase(0, nl + 1);
        }
        m_changed.notify_all();
    }
    ::close(fd);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bEnded = true;
    m_changed.notify_all();
}

void CSubscriberProcess::Line(const std::string& line) {
    if (m_strOutput.size() < (1u << 20)) {
        m_strOutput += line + "\n";
    }
    // "Client ID received PUBLISH (d0, q1, r0, m1, 'TOPIC', ... (N bytes))" comes before each
    // message, so a wildcard subscription's topics are known too.
    const std::size_t publish = line.find(" received PUBLISH (");
    if (publish != std::string::npos) {
        const std::size_t open = line.find('\'', publish);
        const std::size_t close = line.find("', ", open + 1);
        m_strNextTopic = open != std::string::npos && close != std::string::npos
                             ? line.substr(open + 1, close - open - 1)
                             : std::string();
    } else if (!m_strNextTopic.empty() && line.rfind(m_strNextTopic + " ", 0) == 0) {
        m_topics.push_back(m_strNextTopic);
        m_payloads.push_back(line.substr(m_strNextTopic.size() + 1));
        m_strNextTopic.clear();
    } else if (line.find("received SUBACK") != std::string::npos) {
        m_bSubscribed = true;
    }
}

bool CSubscriberProcess::WaitFor(const std::function<bool(const std::vector<std::string>&)>& done,
                                 std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return done(m_payloads); });
}

}  // namespace mqtt_test
