#pragma once

#include <cstdint>
#include <functional>
#include <string>

// The frame trace's file: lines gather in memory and go out in one write at each Flush, so
// tracing costs an exchange no more than that. Past the cap the file is renamed to FILE.1
// (replacing the older one) and a new FILE begins, so a long scan never fills a disk.
//
// The path is named by a user or a settings file, possibly in a shared directory, so only a
// regular file is written: a symbolic link is not followed (its target could be anyone's file)
// and a FIFO or device is not opened for writing (a FIFO would block the program for ever).
// A new file is made readable by its owner only, since the frames may carry plant data.
class CTraceFile {
public:
    static constexpr std::uint64_t kDefaultCap = 10 * 1024 * 1024;

    explicit CTraceFile(std::string path, std::uint64_t cap = kDefaultCap);
    ~CTraceFile();
    CTraceFile(const CTraceFile&) = delete;
    CTraceFile& operator=(const CTraceFile&) = delete;

    void Append(const std::string& line);
    // False when the lines did not all reach the file; they are dropped, the exchange goes on,
    // and the reason becomes the trace's state (Problem, TraceProblem).
    bool Flush();
    const std::string& Path() const { return m_strPath; }
    // Why the trace is not being written, e.g. "is a FIFO, not a regular file" or "write
    // failed: No space left on device"; empty while it is.
    const std::string& Problem() const { return m_strProblem; }

private:
    bool OpenFile();
    bool Rotate();
    bool WriteBuffer();
    void Fail(std::string reason);

    std::string m_strPath;
    std::uint64_t m_nCap;
    std::uint64_t m_nSize = 0;
    int m_fd = -1;
    std::string m_strBuffer;
    std::string m_strProblem;
};

// Told the first time a trace file's lines could not be written, once per path and process,
// so the program can say so where its user looks (vornak-poll: on standard error). Runs on the
// thread that traced; none is installed by default.
using TraceReporter = std::function<void(const std::string& path, const std::string& reason)>;
void SetTraceReporter(TraceReporter reporter);

// The state of the trace at the path, for the user: what an open would refuse there now, else
// why its last write failed; empty when nothing is known against it.
std::string TraceProblem(const std::string& path);

// The trace file asked for: VORNAK_TRACE when set, else the key "Trace" of the "Port Map";
// empty: no trace.
std::string TraceFilePath();
