#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <cstdint>
#include <string>

namespace mqtt_test {

inline constexpr const char* kBrokerPath = "/usr/sbin/mosquitto";
inline constexpr const char* kSubscriberPath = "/usr/bin/mosquitto_sub";
inline constexpr const char* kPasswdPath = "/usr/bin/mosquitto_passwd";

// A free TCP port on 127.0.0.1: bound to port 0, read back, closed.
std::uint16_t FreePort();
// A fresh folder under the system's temporary folder; removed by RemoveTree.
std::string MakeTempDir(const std::string& stem);
void RemoveTree(const std::string& dir);

struct BrokerOptions {
    bool anonymous = true;
    std::string passwordFile;
    std::string certFile;  // with keyFile: the listener speaks TLS
    std::string keyFile;
    bool tcpNoDelay = false;  // the broker's set_tcp_nodelay; off by default, as shipped
};

// Debian's mosquitto as a child on 127.0.0.1 and a free port, with persistence, its config
// and log in a temporary folder of its own, both gone at the end, also when a test fails.
class CBrokerProcess {
public:
    CBrokerProcess();
    ~CBrokerProcess();
    CBrokerProcess(const CBrokerProcess&) = delete;
    CBrokerProcess& operator=(const CBrokerProcess&) = delete;

    static bool Available() { return ::access(kBrokerPath, X_OK) == 0; }
    // Writes the config and starts the broker; true once it accepts connections.
    bool Start(const BrokerOptions& options = {});
    // Sends the signal and waits for the end; true when it ended.
    bool Stop(int sig);
    // Sends the signal and goes on: SIGSTOP freezes it with its connections open, SIGUSR1
    // makes it write its persistence file.
    void Signal(int sig);
    // Starts it again on the same port, folder and options.
    bool Restart() { return m_pid <= 0 && m_nPort != 0 && Launch(); }

    std::uint16_t Port() const { return m_nPort; }
    const std::string& Dir() const { return m_strDir; }
    bool Running() const { return m_pid > 0; }
    // The broker's own log, for a failing test's message.
    std::string Log() const;

private:
    bool Launch();

    std::string m_strDir;
    std::uint16_t m_nPort = 0;
    pid_t m_pid = -1;
};

}  // namespace mqtt_test
