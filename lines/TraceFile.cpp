#include "lines/TraceFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "lines/PortMapFile.h"

CTraceFile::CTraceFile(std::string path, std::uint64_t cap)
    : m_strPath(std::move(path)), m_nCap(cap) {
    OpenFile();
}

CTraceFile::~CTraceFile() {
    Flush();
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

bool CTraceFile::OpenFile() {
    m_fd = ::open(m_strPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    struct stat st {};
    m_nSize = m_fd >= 0 && ::fstat(m_fd, &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
    return m_fd >= 0;
}

void CTraceFile::Append(const std::string& line) {
    m_strBuffer += line;
    m_strBuffer += '\n';
}

bool CTraceFile::Flush() {
    if (m_strBuffer.empty()) {
        return true;
    }
    if (m_fd < 0 && !OpenFile()) {
        m_strBuffer.clear();
        return false;
    }
    std::size_t done = 0;
    while (done < m_strBuffer.size()) {
        const ssize_t n = ::write(m_fd, m_strBuffer.data() + done, m_strBuffer.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    const bool ok = done == m_strBuffer.size();
    m_nSize += done;
    m_strBuffer.clear();
    if (m_nSize >= m_nCap) {
        ::close(m_fd);
        m_fd = -1;
        std::rename(m_strPath.c_str(), (m_strPath + ".1").c_str());
        OpenFile();
    }
    return ok;
}

std::string TraceFilePath() {
    if (const char* value = std::getenv("VORNAK_TRACE"); value != nullptr && *value != '\0') {
        return value;
    }
    return ReadPortMapValue("Trace").value_or("");
}
