#include "SlaveChild.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

CSlaveChild::~CSlaveChild() {
    Stop();
}

bool CSlaveChild::Start(const std::vector<std::string>& args) {
    int out[2];
    if (::pipe(out) != 0) {
        return false;
    }
    ::fcntl(out[0], F_SETFD, FD_CLOEXEC);
    ::fcntl(out[1], F_SETFD, FD_CLOEXEC);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    std::vector<std::string> all{VORNAK_SLAVE_PATH};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    const int rc = posix_spawn(&m_pid, VORNAK_SLAVE_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    m_outFd = out[0];
    if (rc != 0) {
        m_pid = -1;
        return false;
    }

    // "vornak-slave: listening on PATH (...)"
    std::string line;
    while (line.find('\n') == std::string::npos) {
        pollfd fd = {m_outFd, POLLIN, 0};
        if (::poll(&fd, 1, 5000) <= 0) {
            return false;
        }
        char buffer[256];
        const ssize_t n = ::read(m_outFd, buffer, sizeof buffer);
        if (n <= 0) {
            return false;
        }
        line.append(buffer, static_cast<std::size_t>(n));
    }
    const std::string prefix = "vornak-slave: listening on ";
    if (line.rfind(prefix, 0) != 0) {
        return false;
    }
    const std::size_t end = line.find(' ', prefix.size());
    m_strPath = line.substr(prefix.size(), end - prefix.size());
    return !m_strPath.empty();
}

void CSlaveChild::Stop() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        int status = 0;
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
        m_pid = -1;
    }
    if (m_outFd >= 0) {
        ::close(m_outFd);
        m_outFd = -1;
    }
}
