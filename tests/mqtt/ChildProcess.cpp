#include "ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

extern char** environ;

namespace mqtt_test {

pid_t SpawnChild(const std::string& program, const std::vector<std::string>& args, int outFd) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (outFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, outFd, STDERR_FILENO);
    }
    // A broker that inherited a client's socket would keep that connection open after the
    // client closed it.
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

int ReapChild(pid_t pid, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) != pid) {
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

ChildRun RunChild(const std::string& program, const std::vector<std::string>& args,
                  std::chrono::milliseconds timeout) {
    ChildRun run;
    // A file, not a pipe: a child that writes much can never block on a full one.
    char path[] = "/tmp/vornak-child-XXXXXX";
    const int fd = ::mkostemp(path, O_CLOEXEC);
    if (fd < 0) {
        return run;
    }
    ::unlink(path);
    const pid_t pid = SpawnChild(program, args, fd);
    if (pid >= 0) {
        run.status = ReapChild(pid, timeout);
        char buffer[4096];
        for (off_t at = 0;;) {
            const ssize_t n = ::pread(fd, buffer, sizeof buffer, at);
            if (n <= 0) {
                break;
            }
            run.output.append(buffer, static_cast<std::size_t>(n));
            at += n;
        }
    }
    ::close(fd);
    return run;
}

}  // namespace mqtt_test
