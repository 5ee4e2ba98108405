#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// The built vornak-slave as a child process: its first line gives the line's path, and with
// --log every later line is a frame the tests can inspect.
class CSlaveProcess {
public:
    CSlaveProcess() = default;
    ~CSlaveProcess();
    CSlaveProcess(const CSlaveProcess&) = delete;
    CSlaveProcess& operator=(const CSlaveProcess&) = delete;

    // Starts the slave with the arguments (--log is added) and waits for its first line.
    bool Start(const std::vector<std::string>& args);
    // Starts any program and waits for its first line; false when none came.
    bool StartProgram(const std::string& program, const std::vector<std::string>& args,
                      std::chrono::milliseconds timeout);

    const std::string& Path() const { return m_strPath; }
    const std::string& FirstLine() const { return m_strFirstLine; }
    pid_t Pid() const { return m_pid; }

    // Log lines so far, the first line left out.
    std::vector<std::string> Lines();
    // Waits until at least n lines satisfy the predicate; false on time-out.
    bool WaitForLines(const std::function<bool(const std::string&)>& match, std::size_t n,
                      std::chrono::milliseconds timeout);

    // Sends the signal and reaps the child; the exit status, or 128 + signal when it died of
    // one, or -1 when it did not end within the time-out (it is then killed).
    int Stop(int sig, std::chrono::milliseconds timeout = std::chrono::seconds(5));

private:
    void ReadOutput(int fd);

    pid_t m_pid = -1;
    std::string m_strPath;
    std::string m_strFirstLine;
    std::thread m_reader;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_lines;  // all lines, the first included
    bool m_bEof = false;
};

// A run of the slave to its end: exit status, standard output and standard error.
struct SlaveRun {
    int status = -1;
    std::string out;
    std::string err;
};
SlaveRun RunSlaveToEnd(const std::vector<std::string>& args,
                       std::chrono::milliseconds timeout = std::chrono::seconds(5));
// The same for any program; whileRunning, when given, runs with the child's pid before the
// wait for its end.
SlaveRun RunProgramToEnd(const std::string& program, const std::vector<std::string>& args,
                         std::chrono::milliseconds timeout,
                         const std::function<void(pid_t)>& whileRunning = {});

// One parsed log line: "HH:MM:SS.mmm rx|tx <hex bytes>[ (note)][ "<text>"]".
struct SlaveLogLine {
    std::string time;
    std::string direction;
    std::vector<std::uint8_t> bytes;
    std::string note;
    std::string text;
};
std::optional<SlaveLogLine> ParseSlaveLogLine(const std::string& line);

// Matchers for WaitForLines.
std::function<bool(const std::string&)> IsFrame(const std::string& direction,
                                                const std::string& note = "");

// The test's own end on a pseudo-terminal path: raw mode, byte transfers with time-outs.
class CRawLine {
public:
    explicit CRawLine(const std::string& path);
    ~CRawLine();
    CRawLine(const CRawLine&) = delete;
    CRawLine& operator=(const CRawLine&) = delete;

    bool Ok() const { return m_fd >= 0; }
    // Sets the bit rate (one of 1200, 9600, 19200) and stop bits as a master would.
    bool SetLine(int baud, int stopBits) const;
    void Send(const std::vector<std::uint8_t>& bytes) const;
    void Send(const std::string& text) const;
    // Collects until n bytes came or timeout passed in all.
    std::vector<std::uint8_t> Receive(std::size_t n, std::chrono::milliseconds timeout) const;

private:
    int m_fd = -1;
};

class Stopwatch {
public:
    long long Ms() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - m_start)
            .count();
    }

private:
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};
