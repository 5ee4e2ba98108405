#pragma once

#include <signal.h>

#include <future>
#include <string>
#include <thread>

// A serial device server on 127.0.0.1 in front of a line (the path of a pseudo-terminal), as a
// child process: socat in raw TCP, or ser2net with a raw or an RFC 2217 accepter.
enum class ServerKind { Socat, Ser2netRaw, Ser2netRfc2217 };

class CDeviceServer {
public:
    ~CDeviceServer() { Stop(); }

    // Starts on the port (0: a free one) and waits until it listens; false after 5 s.
    bool Start(ServerKind kind, const std::string& line, int port = 0);
    // Ends the server with the signal and reaps it.
    void Stop(int sig = SIGTERM);
    int Port() const { return m_nPort; }
    std::string Endpoint() const { return "127.0.0.1:" + std::to_string(m_nPort); }

private:
    int m_nPort = 0;
    std::thread m_run;  // runs the child until the signal comes, then reaps it
    std::promise<int> m_stopSignal;
};

// A socket listening on a free TCP port of 127.0.0.1, the port in port; -1 on a failure. The
// kernel completes connections to it whether anyone accepts them or not.
int ListenOnLoopback(int& port);
// A TCP port on 127.0.0.1 that nothing listens on just now.
int FreeTcpPort();
