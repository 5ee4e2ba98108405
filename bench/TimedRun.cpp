#include "TimedRun.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace {

// Counts complete lines that begin with the marker; keeps the unfinished tail for the next call.
long CountLines(std::string& pending, const std::string& marker) {
    long count = 0;
    std::size_t start = 0;
    for (std::size_t end; (end = pending.find('\n', start)) != std::string::npos; start = end + 1) {
        if (pending.compare(start, marker.size(), marker) == 0) {
            ++count;
        }
    }
    pending.erase(0, start);
    return count;
}

}  // namespace

TimedRun RunForWindow(const std::vector<std::string>& args, const std::string& marker,
                      std::chrono::milliseconds window) {
    TimedRun run;
    int out[2];
    if (args.empty() || ::pipe2(out, O_CLOEXEC) != 0) {
        return run;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    std::vector<std::string> all = args;
    std::vector<char*> argv;
    for (auto& a : all) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    const auto start = std::chrono::steady_clock::now();
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (rc != 0) {
        ::close(out[0]);
        return run;
    }

    std::string pending;
    bool interrupted = false;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            start + window - std::chrono::steady_clock::now());
        if (!interrupted && left.count() <= 0) {
            ::kill(pid, SIGINT);
            interrupted = true;
        }
        pollfd fd = {out[0], POLLIN, 0};
        if (::poll(&fd, 1, interrupted ? 5000 : static_cast<int>(left.count())) < 0 &&
            errno != EINTR) {
            break;
        }
        if (fd.revents == 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n <= 0) {
            break;  // the program has ended
        }
        pending.append(buffer, static_cast<std::size_t>(n));
        run.lines += CountLines(pending, marker);
    }
    ::close(out[0]);
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    run.wallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    run.interrupted = interrupted;
    return run;
}
