#include "DeviceServer.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

extern char** environ;

namespace {

sockaddr_in Loopback(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    return a;
}

// A socket in the LISTEN state (0A) on the port; a connection left in TIME_WAIT does not count.
bool Listening(int port) {
    char local[16];
    std::snprintf(local, sizeof local, ":%04X", port);
    std::ifstream table("/proc/net/tcp");
    for (std::string line; std::getline(table, line);) {
        if (line.find(std::string(local) + " 00000000:0000 0A") != std::string::npos) {
            return true;
        }
    }
    return false;
}

pid_t Spawn(std::vector<std::string> args) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);  // one kill reaches its children
    std::vector<char*> argv;
    for (auto& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, &attr, argv.data(), environ) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    return pid;
}

}  // namespace

int FreeTcpPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = Loopback(0);
    socklen_t len = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

CDeviceServer::~CDeviceServer() {
    Stop();
    if (!m_strDir.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_strDir, ignored);
    }
}

bool CDeviceServer::Start(ServerKind kind, const std::string& line, int port) {
    Stop();
    m_nPort = port != 0 ? port : FreeTcpPort();
    const std::string portText = std::to_string(m_nPort);
    if (kind == ServerKind::Socat) {
        m_pid = Spawn({"socat", "TCP-LISTEN:" + portText + ",bind=127.0.0.1,reuseaddr",
                       "FILE:" + line + ",raw,echo=0"});
    } else {
        if (m_strDir.empty()) {
            char dir[] = "/tmp/vornak-ser2net-XXXXXX";
            m_strDir = ::mkdtemp(dir) != nullptr ? dir : "/tmp";
        }
        const char* accepter = kind == ServerKind::Ser2netRaw ? "" : "telnet(rfc2217),";
        std::ofstream(m_strDir + "/ser2net.yaml")
            << "connection: &line\n  accepter: " << accepter << "tcp,127.0.0.1," << portText
            << "\n  connector: serialdev," << line << ",9600n81,local\n";
        m_pid = Spawn(
            {"ser2net", "-n", "-u", "-P", m_strDir + "/pid", "-c", m_strDir + "/ser2net.yaml"});
    }
    for (int i = 0; m_pid > 0 && i < 500; ++i) {
        if (Listening(m_nPort)) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

void CDeviceServer::Stop(int sig) {
    if (m_pid > 0) {
        ::kill(-m_pid, sig);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }
}
