#include "PeerProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

extern char** environ;

std::string CPeerProcess::Start(const std::vector<std::string>& argv, const std::string& ready,
                                std::chrono::milliseconds timeout) {
    Stop();
    int pipeFds[2];
    int inputFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        return {};
    }
    if (::pipe2(inputFds, O_CLOEXEC) != 0) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return {};
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
    // An input that stays open and silent: openssl s_server ends at the end of its input.
    posix_spawn_file_actions_adddup2(&actions, inputFds[0], STDIN_FILENO);
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    const int rc = ::posix_spawnp(&m_pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    ::close(inputFds[0]);
    m_input = inputFds[1];
    if (rc != 0) {
        m_pid = -1;
        ::close(pipeFds[0]);
        return {};
    }
    m_fd = pipeFds[0];
    m_reader = std::thread([this] {
        char chunk[4096];
        for (long n; (n = ::read(m_fd, chunk, sizeof chunk)) > 0;) {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_output.append(chunk, static_cast<std::size_t>(n));
        }
    });
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < until) {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            for (std::size_t at = 0; at < m_output.size();) {
                const std::size_t end = m_output.find('\n', at);
                if (end == std::string::npos) {
                    break;
                }
                if (m_output.compare(at, ready.size(), ready) == 0) {
                    return m_output.substr(at, end - at);
                }
                at = end + 1;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return {};
}

void CPeerProcess::Stop() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        int status = 0;
        for (int i = 0; i < 300 && ::waitpid(m_pid, &status, WNOHANG) == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (i == 200) {
                ::kill(m_pid, SIGKILL);
            }
        }
        m_pid = -1;
    }
    if (m_reader.joinable()) {
        m_reader.join();
    }
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (m_input >= 0) {
        ::close(m_input);
        m_input = -1;
    }
}

std::string CPeerProcess::Output() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_output;
}
