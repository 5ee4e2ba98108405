#include "BrokerProcess.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "ChildProcess.h"

namespace mqtt_test {

namespace {

// Binds to the port (0: any free one) when bind, else connects; the port it ended on, 0 on
// failure.
std::uint16_t Loopback(std::uint16_t port, bool bind) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    auto* raw = reinterpret_cast<sockaddr*>(&address);
    socklen_t length = sizeof address;
    const bool ok =
        fd >= 0 && (bind ? ::bind(fd, raw, length) == 0 && ::getsockname(fd, raw, &length) == 0
                         : ::connect(fd, raw, length) == 0);
    ::close(fd);
    return ok ? ntohs(address.sin_port) : 0;
}

}  // namespace

std::uint16_t FreePort() {
    return Loopback(0, true);
}

std::string MakeTempDir(const std::string& stem) {
    std::string pattern = (std::filesystem::temp_directory_path() / (stem + "-XXXXXX")).string();
    return ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
}

void RemoveTree(const std::string& dir) {
    std::error_code ignored;
    if (!dir.empty()) {
        std::filesystem::remove_all(dir, ignored);
    }
}

CBrokerProcess::CBrokerProcess() : m_strDir(MakeTempDir("vornak-mqtt-broker")) {}

CBrokerProcess::~CBrokerProcess() {
    Stop(SIGTERM);
    RemoveTree(m_strDir);
}

bool CBrokerProcess::Start(const BrokerOptions& options) {
    if (m_strDir.empty() || m_pid > 0 || (m_nPort = FreePort()) == 0) {
        return false;
    }
    // The broker drops to this user when started as root; being the test's own user it can
    // still read the test's files and write its folder.
    const passwd* user = ::getpwuid(::geteuid());
    std::ofstream config(m_strDir + "/mosquitto.conf");
    config << "listener " << m_nPort << " 127.0.0.1\nallow_anonymous "
           << (options.anonymous ? "true" : "false") << "\npersistence true\n"
           << "persistence_location " << m_strDir << "/\nuser "
           << (user != nullptr ? user->pw_name : "root") << "\n";
    if (options.tcpNoDelay) {
        config << "set_tcp_nodelay true\n";
    }
    if (!options.passwordFile.empty()) {
        config << "password_file " << options.passwordFile << "\n";
    }
    if (!options.certFile.empty()) {
        config << "certfile " << options.certFile << "\nkeyfile " << options.keyFile << "\n";
    }
    config.close();
    return config.good() && Launch();
}

bool CBrokerProcess::Launch() {
    const int log =
        ::open((m_strDir + "/broker.log").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    m_pid = log < 0 ? -1 : SpawnChild(kBrokerPath, {"-c", m_strDir + "/mosquitto.conf"}, log);
    ::close(log);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (m_pid > 0 && std::chrono::steady_clock::now() < end) {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;  // it gave up: a bad config, the port taken
        } else if (Loopback(m_nPort, false) != 0) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Stop(SIGKILL);
    return false;
}

bool CBrokerProcess::Stop(int sig) {
    const bool ended = m_pid > 0 && EndChild(m_pid, sig, std::chrono::seconds(10)) != -1;
    m_pid = -1;
    return ended;
}

void CBrokerProcess::Signal(int sig) {
    if (m_pid > 0) {
        ::kill(m_pid, sig);
    }
}

std::string CBrokerProcess::Log() const {
    std::ifstream in(m_strDir + "/broker.log");
    return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace mqtt_test
