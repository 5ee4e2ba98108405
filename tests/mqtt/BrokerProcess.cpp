#include "BrokerProcess.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "ChildProcess.h"

namespace mqtt_test {

namespace {

constexpr auto kReadyTimeout = std::chrono::seconds(10);
constexpr auto kStopTimeout = std::chrono::seconds(10);

bool Accepts(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

// The broker drops to this user when started as root; being the test's own user it can
// still read the test's files and write its folder.
std::string CurrentUser() {
    const passwd* entry = ::getpwuid(::geteuid());
    return entry != nullptr ? entry->pw_name : "root";
}

}  // namespace

std::uint16_t FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return 0;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = 0;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    std::uint16_t port = 0;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    ::close(fd);
    return port;
}

std::string MakeTempDir(const std::string& stem) {
    std::string pattern = (std::filesystem::temp_directory_path() / (stem + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        return {};
    }
    return pattern;
}

void RemoveTree(const std::string& dir) {
    if (!dir.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
}

CBrokerProcess::CBrokerProcess() : m_strDir(MakeTempDir("vornak-mqtt-broker")) {}

CBrokerProcess::~CBrokerProcess() {
    Stop(SIGTERM);
    RemoveTree(m_strDir);
}

bool CBrokerProcess::Available() {
    return ::access(kBrokerPath, X_OK) == 0;
}

bool CBrokerProcess::Start(const BrokerOptions& options) {
    if (m_strDir.empty() || m_pid > 0) {
        return false;
    }
    m_options = options;
    m_nPort = FreePort();
    if (m_nPort == 0) {
        return false;
    }
    std::ofstream config(m_strDir + "/mosquitto.conf");
    config << "listener " << m_nPort << " 127.0.0.1\n"
           << "allow_anonymous " << (options.anonymous ? "true" : "false") << "\n"
           << "persistence true\n"
           << "persistence_location " << m_strDir << "/\n"
           << "user " << CurrentUser() << "\n";
    if (options.tcpNoDelay) {
        config << "set_tcp_nodelay true\n";
    }
    if (!options.passwordFile.empty()) {
        config << "password_file " << options.passwordFile << "\n";
    }
    if (!options.certFile.empty()) {
        config << "certfile " << options.certFile << "\n"
               << "keyfile " << options.keyFile << "\n";
    }
    config.close();
    return config.good() && Launch();
}

bool CBrokerProcess::Launch() {
    const int log =
        ::open((m_strDir + "/broker.log").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (log < 0) {
        return false;
    }
    m_pid = SpawnChild(kBrokerPath, {"-c", m_strDir + "/mosquitto.conf"}, log);
    ::close(log);
    if (m_pid < 0) {
        return false;
    }
    const auto end = std::chrono::steady_clock::now() + kReadyTimeout;
    while (std::chrono::steady_clock::now() < end) {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;  // it gave up: a bad config, the port taken
            return false;
        }
        if (Accepts(m_nPort)) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Stop(SIGKILL);
    return false;
}

bool CBrokerProcess::Stop(int sig) {
    if (m_pid <= 0) {
        return false;
    }
    const int status = EndChild(m_pid, sig, kStopTimeout);
    m_pid = -1;
    return status != -1;
}

void CBrokerProcess::Signal(int sig) {
    if (m_pid > 0) {
        ::kill(m_pid, sig);
    }
}

bool CBrokerProcess::Restart() {
    return m_pid <= 0 && m_nPort != 0 && Launch();
}

std::string CBrokerProcess::Log() const {
    std::ifstream in(m_strDir + "/broker.log");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace mqtt_test
