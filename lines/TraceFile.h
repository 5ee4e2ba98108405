#pragma once

#include <cstdint>
#include <string>

// The frame trace's file: lines gather in memory and go out in one write at each Flush, so
// tracing costs an exchange no more than that. Past the cap the file is renamed to FILE.1
// (replacing the older one) and a new FILE begins, so a long scan never fills a disk.
class CTraceFile {
public:
    static constexpr std::uint64_t kDefaultCap = 10 * 1024 * 1024;

    explicit CTraceFile(std::string path, std::uint64_t cap = kDefaultCap);
    ~CTraceFile();
    CTraceFile(const CTraceFile&) = delete;
    CTraceFile& operator=(const CTraceFile&) = delete;

    void Append(const std::string& line);
    // False when the file could not be written; the lines are dropped, the exchange goes on.
    bool Flush();
    const std::string& Path() const { return m_strPath; }

private:
    bool OpenFile();

    std::string m_strPath;
    std::uint64_t m_nCap;
    std::uint64_t m_nSize = 0;
    int m_fd = -1;
    std::string m_strBuffer;
};

// The trace file asked for: VORNAK_TRACE when set, else the key "Trace" of the "Port Map";
// empty: no trace.
std::string TraceFilePath();
