#include "DeviceServer.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "tests/slave/SlaveProcess.h"

namespace {

// A socket on the port in the LISTEN state (0A); a connection left in TIME_WAIT does not count.
bool Listening(int port) {
    char entry[32];
    std::snprintf(entry, sizeof entry, ":%04X 00000000:0000 0A", port);
    std::ostringstream table;
    table << std::ifstream("/proc/net/tcp").rdbuf();
    return table.str().find(entry) != std::string::npos;
}

}  // namespace

int ListenOnLoopback(int& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t len = sizeof a;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), len) != 0 || ::listen(fd, 4) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        ::close(fd);
        return -1;
    }
    port = ntohs(a.sin_port);
    return fd;
}

int FreeTcpPort() {
    int port = 0;
    ::close(ListenOnLoopback(port));
    return port;
}

bool CDeviceServer::Start(ServerKind kind, const std::string& line, int port) {
    Stop();
    m_nPort = port != 0 ? port : FreeTcpPort();
    const std::string portText = std::to_string(m_nPort);
    std::vector<std::string> args{"socat", "TCP-LISTEN:" + portText + ",bind=127.0.0.1,reuseaddr",
                                  "FILE:" + line + ",raw,echo=0"};
    if (kind != ServerKind::Socat) {
        // ser2net reads '#' in its configuration string as a line break.
        const char* accepter = kind == ServerKind::Ser2netRaw ? "" : "telnet(rfc2217),";
        args = {"ser2net", "-n", "-u", "-Y",
                std::string("connection: &line#  accepter: ") + accepter + "tcp,127.0.0.1," +
                    portText + "#  connector: serialdev," + line + ",9600n81,local"};
    }
    m_stopSignal = {};
    // env finds the server on the PATH and becomes it, so the signal reaches the server itself.
    m_run = std::thread([args, stop = m_stopSignal.get_future()]() mutable {
        RunProgramToEnd("/usr/bin/env", args, std::chrono::seconds(5),
                        [&stop](pid_t pid) { ::kill(pid, stop.get()); });
    });
    for (int i = 0; i < 500 && !Listening(m_nPort); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return Listening(m_nPort);
}

void CDeviceServer::Stop(int sig) {
    if (m_run.joinable()) {
        m_stopSignal.set_value(sig);
        m_run.join();
    }
}
