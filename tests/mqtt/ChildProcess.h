#pragma once

#include <signal.h>
#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace mqtt_test {

// Starts the program with standard output and error on outFd (-1: the test's own); -1 when
// it cannot be started.
pid_t SpawnChild(const std::string& program, const std::vector<std::string>& args, int outFd);
// Waits up to timeout for the end, then kills; the exit status, 128 + signal when one ended
// it, -1 when it had to be killed.
int ReapChild(pid_t pid, std::chrono::milliseconds timeout);
// Sends the signal, then reaps.
inline int EndChild(pid_t pid, int sig, std::chrono::milliseconds timeout) {
    ::kill(pid, sig);
    return ReapChild(pid, timeout);
}

struct ChildRun {
    int status = -1;
    std::string output;  // standard output and error together
};
// Runs the program to its end (killed after timeout).
ChildRun RunChild(const std::string& program, const std::vector<std::string>& args,
                  std::chrono::milliseconds timeout);

}  // namespace mqtt_test
