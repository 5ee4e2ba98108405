#pragma once

#include <sys/types.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A peer program the test starts (openssl s_server, a Python server), its standard output and
// error read on a thread so that it never blocks on a full pipe. Ended with the object.
class CPeerProcess {
public:
    CPeerProcess() = default;
    ~CPeerProcess() { Stop(); }
    CPeerProcess(const CPeerProcess&) = delete;
    CPeerProcess& operator=(const CPeerProcess&) = delete;

    // Starts the program and waits for a line that begins with ready; that line, or empty when
    // none came within the time-out (Output() says what came instead).
    std::string Start(const std::vector<std::string>& argv, const std::string& ready,
                      std::chrono::milliseconds timeout);
    void Stop();
    std::string Output();

private:
    pid_t m_pid = -1;
    int m_fd = -1;     // its output
    int m_input = -1;  // its input, kept open
    std::thread m_reader;
    std::mutex m_mutex;
    std::string m_output;
};
