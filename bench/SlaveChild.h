#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// vornak-slave as a child process for the benchmarks: started with the given arguments, its
// line's path taken from its first output line, ended with SIGTERM.
class CSlaveChild {
public:
    CSlaveChild() = default;
    ~CSlaveChild();
    CSlaveChild(const CSlaveChild&) = delete;
    CSlaveChild& operator=(const CSlaveChild&) = delete;

    // False when the binary did not start or did not say where it listens within 5 s.
    bool Start(const std::vector<std::string>& args);
    const std::string& Path() const { return m_strPath; }
    pid_t Pid() const { return m_pid; }

private:
    void Stop();

    pid_t m_pid = -1;
    int m_outFd = -1;
    std::string m_strPath;
};
