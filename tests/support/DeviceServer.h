#pragma once

#include <signal.h>
#include <sys/types.h>

#include <string>

// A serial device server on 127.0.0.1 in front of a line (the path of a pseudo-terminal), as a
// child process: socat in raw TCP, or ser2net with a raw or an RFC 2217 accepter.
enum class ServerKind { Socat, Ser2netRaw, Ser2netRfc2217 };

class CDeviceServer {
public:
    CDeviceServer() = default;
    ~CDeviceServer();
    CDeviceServer(const CDeviceServer&) = delete;
    CDeviceServer& operator=(const CDeviceServer&) = delete;

    // Starts on the port (0: a free one) and waits until it listens; false after 5 s.
    bool Start(ServerKind kind, const std::string& line, int port = 0);
    void Stop(int sig = SIGTERM);
    int Port() const { return m_nPort; }
    std::string Endpoint() const { return "127.0.0.1:" + std::to_string(m_nPort); }

private:
    pid_t m_pid = -1;
    int m_nPort = 0;
    std::string m_strDir;  // ser2net's configuration and pid file
};

// A TCP port on 127.0.0.1 that nothing listens on just now.
int FreeTcpPort();
