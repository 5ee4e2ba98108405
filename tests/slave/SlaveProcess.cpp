#include "SlaveProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <regex>

extern char** environ;

namespace {

struct Spawned {
    pid_t pid = -1;
    int outFd = -1;
    int errFd = -1;
};

// Starts the program with its output on pipes; errFd stays -1 unless captureErr.
Spawned Spawn(const std::string& program, const std::vector<std::string>& args, bool captureErr) {
    Spawned s;
    int out[2];
    int err[2] = {-1, -1};
    if (::pipe(out) != 0 || (captureErr && ::pipe(err) != 0)) {
        return s;
    }
    // Close-on-exec keeps these pipes out of slaves that other threads start meanwhile; the
    // dup2 below gives the child its own copies without the flag.
    for (int fd : {out[0], out[1], err[0], err[1]}) {
        if (fd >= 0) {
            ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        }
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    if (captureErr) {
        posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    }
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    const int rc = posix_spawn(&s.pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (captureErr) {
        ::close(err[1]);
    }
    if (rc != 0) {
        ::close(out[0]);
        if (captureErr) {
            ::close(err[0]);
        }
        s.pid = -1;
        return s;
    }
    s.outFd = out[0];
    s.errFd = err[0];
    return s;
}

// Waits for the child within timeout; kills it when it does not end.
int Reap(pid_t pid, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    for (;;) {
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            break;
        }
        if (r < 0 && errno != EINTR) {
            return -1;
        }
        if (std::chrono::steady_clock::now() >= end) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

std::string ReadAll(int fd) {
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            text.append(buffer, static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            return text;
        }
    }
}

}  // namespace

CSlaveProcess::~CSlaveProcess() {
    if (m_pid > 0) {
        Stop(SIGTERM);
    }
    if (m_reader.joinable()) {
        m_reader.join();
    }
}

bool CSlaveProcess::Start(const std::vector<std::string>& args) {
    std::vector<std::string> all = args;
    all.push_back("--log");
    if (!StartProgram(VORNAK_SLAVE_PATH, all, std::chrono::seconds(5))) {
        return false;
    }
    static const std::regex listening("^vornak-slave: listening on (\\S+) \\(.*\\)$");
    std::smatch match;
    if (!std::regex_match(m_strFirstLine, match, listening)) {
        return false;
    }
    m_strPath = match[1];
    return true;
}

bool CSlaveProcess::StartProgram(const std::string& program, const std::vector<std::string>& args,
                                 std::chrono::milliseconds timeout) {
    const Spawned s = Spawn(program, args, false);
    if (s.pid < 0) {
        return false;
    }
    m_pid = s.pid;
    m_reader = std::thread([this, fd = s.outFd] { ReadOutput(fd); });
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_changed.wait_for(lock, timeout, [this] { return !m_lines.empty() || m_bEof; }) ||
        m_lines.empty()) {
        return false;
    }
    m_strFirstLine = m_lines.front();
    return true;
}

void CSlaveProcess::ReadOutput(int fd) {
    std::string pending;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        pending.append(buffer, static_cast<std::size_t>(n));
        std::size_t nl;
        std::lock_guard<std::mutex> lock(m_mutex);
        while ((nl = pending.find('\n')) != std::string::npos) {
            m_lines.push_back(pending.substr(0, nl));
            pending.erase(0, nl + 1);
        }
        m_changed.notify_all();
    }
    ::close(fd);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bEof = true;
    m_changed.notify_all();
}

std::vector<std::string> CSlaveProcess::Lines() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_lines.empty()) {
        return {};
    }
    return {m_lines.begin() + 1, m_lines.end()};
}

bool CSlaveProcess::WaitForLines(const std::function<bool(const std::string&)>& match,
                                 std::size_t n, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] {
        std::size_t count = 0;
        for (std::size_t i = 1; i < m_lines.size(); ++i) {
            count += match(m_lines[i]) ? 1 : 0;
        }
        return count >= n;
    });
}

int CSlaveProcess::Stop(int sig, std::chrono::milliseconds timeout) {
    if (m_pid <= 0) {
        return -1;
    }
    ::kill(m_pid, sig);
    const int status = Reap(m_pid, timeout);
    m_pid = -1;
    if (m_reader.joinable()) {
        m_reader.join();
    }
    return status;
}

SlaveRun RunSlaveToEnd(const std::vector<std::string>& args, std::chrono::milliseconds timeout) {
    return RunProgramToEnd(VORNAK_SLAVE_PATH, args, timeout);
}

SlaveRun RunProgramToEnd(const std::string& program, const std::vector<std::string>& args,
                         std::chrono::milliseconds timeout,
                         const std::function<void(pid_t)>& whileRunning) {
    SlaveRun run;
    const Spawned s = Spawn(program, args, true);
    if (s.pid < 0) {
        return run;
    }
    // Both pipes are drained on threads so neither can fill up and stall the child.
    std::thread errReader([&run, fd = s.errFd] {
        run.err = ReadAll(fd);
        ::close(fd);
    });
    std::thread outReader([&run, fd = s.outFd] {
        run.out = ReadAll(fd);
        ::close(fd);
    });
    if (whileRunning) {
        whileRunning(s.pid);
    }
    run.status = Reap(s.pid, timeout);
    outReader.join();
    errReader.join();
    return run;
}

std::optional<SlaveLogLine> ParseSlaveLogLine(const std::string& line) {
    static const std::regex format(
        "^([0-2][0-9]:[0-5][0-9]:[0-6][0-9]\\.[0-9]{3}) (rx|tx)((?: [0-9A-F]{2})*)"
        "(?: \\(([^)]*)\\))?(?: \"([^\"]*)\")?$");
    std::smatch m;
    if (!std::regex_match(line, m, format)) {
        return std::nullopt;
    }
    SlaveLogLine parsed;
    parsed.time = m[1];
    parsed.direction = m[2];
    const std::string hex = m[3];
    for (std::size_t i = 1; i + 1 < hex.size(); i += 3) {
        parsed.bytes.push_back(
            static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    parsed.note = m[4];
    parsed.text = m[5];
    return parsed;
}

std::function<bool(const std::string&)> IsFrame(const std::string& direction,
                                                const std::string& note) {
    return [direction, note](const std::string& line) {
        const auto parsed = ParseSlaveLogLine(line);
        return parsed && parsed->direction == direction && parsed->note == note;
    };
}

CRawLine::CRawLine(const std::string& path) {
    m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_fd < 0) {
        return;
    }
    termios tio{};
    ::tcgetattr(m_fd, &tio);
    cfmakeraw(&tio);
    ::tcsetattr(m_fd, TCSANOW, &tio);
}

bool CRawLine::SetLine(int baud, int stopBits) const {
    const speed_t speed = baud == 1200 ? B1200 : baud == 9600 ? B9600 : B19200;
    termios tio{};
    if (::tcgetattr(m_fd, &tio) != 0 || ::cfsetspeed(&tio, speed) != 0) {
        return false;
    }
    tio.c_cflag = stopBits == 2 ? tio.c_cflag | CSTOPB : tio.c_cflag & ~CSTOPB;
    return ::tcsetattr(m_fd, TCSANOW, &tio) == 0;
}

CRawLine::~CRawLine() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

void CRawLine::Send(const std::vector<std::uint8_t>& bytes) const {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) {
                continue;
            }
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

void CRawLine::Send(const std::string& text) const {
    Send(std::vector<std::uint8_t>(text.begin(), text.end()));
}

std::vector<std::uint8_t> CRawLine::Receive(std::size_t n,
                                            std::chrono::milliseconds timeout) const {
    std::vector<std::uint8_t> bytes;
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (bytes.size() < n) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            break;
        }
        pollfd fd = {m_fd, POLLIN, 0};
        if (::poll(&fd, 1, static_cast<int>(left.count())) <= 0 || (fd.revents & POLLIN) == 0) {
            if ((fd.revents & (POLLHUP | POLLERR)) != 0) {
                break;
            }
            continue;
        }
        std::uint8_t buffer[1024];
        const ssize_t got = ::read(m_fd, buffer, std::min(sizeof buffer, n - bytes.size()));
        if (got <= 0) {
            break;
        }
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    return bytes;
}
