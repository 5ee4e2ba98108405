#include "PymodbusServer.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

extern char** environ;

namespace {

// Importing pymodbus alone takes about a second on a loaded machine.
constexpr int kReadyWithinMs = 20000;

}  // namespace

CPymodbusServer::~CPymodbusServer() {
    Kill();
}

int CPymodbusServer::FreePort(const std::string& kind) {
    const int fd = ::socket(AF_INET, kind == "udp" ? SOCK_DGRAM : SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    if (fd >= 0) {
        ::close(fd);
    }
    return port;
}

CPymodbusServer::Outcome CPymodbusServer::Start(const std::string& kind, int port) {
    Kill();
    m_strSaid.clear();
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        return Outcome::Failed;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    // pymodbus logs every client that leaves as an error; the tests judge by the frames.
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> all{VORNAK_PYTHON, VORNAK_PYMODBUS_SERVER, kind, std::to_string(port)};
    std::vector<char*> argv;
    for (auto& a : all) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    const int rc = posix_spawn(&m_pid, VORNAK_PYTHON, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (rc != 0) {
        ::close(out[0]);
        m_pid = -1;
        m_strSaid = std::string("cannot run " VORNAK_PYTHON ": ") + std::strerror(rc);
        return rc == ENOENT ? Outcome::Missing : Outcome::Failed;
    }

    // The first line: "ready PORT", or why not.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kReadyWithinMs);
    while (m_strSaid.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd fd = {out[0], POLLIN, 0};
        char buffer[256];
        if (left.count() <= 0 || ::poll(&fd, 1, static_cast<int>(left.count())) <= 0) {
            break;
        }
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        m_strSaid.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(out[0]);
    if (m_strSaid == "ready " + std::to_string(port) + "\n") {
        return Outcome::Ready;
    }
    Kill();
    return m_strSaid.rfind("no pymodbus", 0) == 0 ? Outcome::Missing : Outcome::Failed;
}

void CPymodbusServer::Kill() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        int status = 0;
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
        m_pid = -1;
    }
}
