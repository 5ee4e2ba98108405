#include "lines/TraceFile.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

#include "lines/PortMapFile.h"

namespace {

struct TraceState {
    std::string problem;
    bool reported = false;
};

std::mutex g_mutex;

std::map<std::string, TraceState>& States() {
    static std::map<std::string, TraceState> states;
    return states;
}

TraceReporter& Reporter() {
    static TraceReporter reporter;
    return reporter;
}

std::string Refusal(mode_t mode) {
    const char* kind = S_ISLNK(mode)    ? "a symbolic link"
                       : S_ISFIFO(mode) ? "a FIFO"
                       : S_ISDIR(mode)  ? "a directory"
                       : S_ISCHR(mode)  ? "a character device"
                       : S_ISBLK(mode)  ? "a block device"
                       : S_ISSOCK(mode) ? "a socket"
                                        : "something else";
    return std::string("is ") + kind + ", not a regular file";
}

// The kernel's own file systems: their "regular files" are the kernel's settings and
// reports, and text written there goes to the kernel, not to a trace.
bool IsPseudoFileSystem(const struct statfs& fs) {
    switch (static_cast<unsigned long>(fs.f_type)) {
        case PROC_SUPER_MAGIC:
        case SYSFS_MAGIC:
        case DEBUGFS_MAGIC:
        case TRACEFS_MAGIC:
        case SECURITYFS_MAGIC:
        case CGROUP_SUPER_MAGIC:
        case CGROUP2_SUPER_MAGIC:
        case BPF_FS_MAGIC:
        case PSTOREFS_MAGIC:
        case EFIVARFS_MAGIC:
        case 0x62656570:  // configfs, which linux/magic.h does not name
            return true;
        default:
            return false;
    }
}

constexpr char kPseudoFile[] = "is on a kernel file system (proc, sys and the like), not a file";

// The folder a path names its file in.
std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// What is at the path now, when it is there and not a regular file, or would be made on a
// kernel file system.
std::string RefusalAt(const std::string& path) {
    struct stat st {};
    const bool there = ::lstat(path.c_str(), &st) == 0;
    if (there && !S_ISREG(st.st_mode)) {
        return Refusal(st.st_mode);
    }
    struct statfs fs {};
    const std::string looked = there ? path : FolderOf(path);
    return ::statfs(looked.c_str(), &fs) == 0 && IsPseudoFileSystem(fs) ? kPseudoFile : "";
}

}  // namespace

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

void CTraceFile::Fail(std::string reason) {
    m_strProblem = reason;
    TraceReporter report;
    {
        const std::lock_guard<std::mutex> lock(g_mutex);
        TraceState& state = States()[m_strPath];
        state.problem = reason;
        if (!state.reported && Reporter()) {
            state.reported = true;
            report = Reporter();
        }
    }
    if (report) {
        report(m_strPath, reason);
    }
}

bool CTraceFile::OpenFile() {
    // Looked at first so that a device is not even opened (opening some has effects); the
    // fstat below settles what was opened, whatever took the path in between.
    if (std::string refused = RefusalAt(m_strPath); !refused.empty()) {
        Fail(std::move(refused));
        return false;
    }
    m_fd = ::open(m_strPath.c_str(),
                  O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
                  0600);
    if (m_fd < 0) {
        const int error = errno;
        std::string refused = RefusalAt(m_strPath);
        Fail(refused.empty() ? std::string(std::strerror(error)) : refused);
        return false;
    }
    struct stat st {};
    struct statfs fs {};
    const bool looked = ::fstat(m_fd, &st) == 0 && ::fstatfs(m_fd, &fs) == 0;
    if (!looked || !S_ISREG(st.st_mode) || IsPseudoFileSystem(fs)) {
        const int error = errno;
        ::close(m_fd);
        m_fd = -1;
        Fail(!looked                ? std::string(std::strerror(error))
             : !S_ISREG(st.st_mode) ? Refusal(st.st_mode)
                                    : std::string(kPseudoFile));
        return false;
    }
    m_nSize = static_cast<std::uint64_t>(st.st_size);
    return true;
}

bool CTraceFile::Rotate() {
    struct stat ours {};
    struct stat there {};
    const bool same = ::fstat(m_fd, &ours) == 0 && ::lstat(m_strPath.c_str(), &there) == 0 &&
                      ours.st_dev == there.st_dev && ours.st_ino == there.st_ino;
    ::close(m_fd);
    m_fd = -1;
    // Only the file written is renamed (rename follows no link at either end); whatever took
    // its place meanwhile is left to the open's checks.
    const std::string old = m_strPath + ".1";
    if (same && std::rename(m_strPath.c_str(), old.c_str()) != 0) {
        Fail("cannot rename it to " + old + ": " + std::strerror(errno));
        return false;
    }
    return OpenFile();
}

bool CTraceFile::WriteBuffer() {
    std::size_t done = 0;
    int error = 0;
    while (done < m_strBuffer.size()) {
        const ssize_t n = ::write(m_fd, m_strBuffer.data() + done, m_strBuffer.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            error = n < 0 ? errno : 0;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    m_nSize += done;
    if (done < m_strBuffer.size()) {
        Fail(error != 0 ? "write failed: " + std::string(std::strerror(error))
                        : "write failed: " + std::to_string(done) + " of " +
                              std::to_string(m_strBuffer.size()) + " bytes written");
        return false;
    }
    if (!m_strProblem.empty()) {
        m_strProblem.clear();
        const std::lock_guard<std::mutex> lock(g_mutex);
        States()[m_strPath].problem.clear();
    }
    return true;
}

void CTraceFile::Append(const std::string& line) {
    m_strBuffer += line;
    m_strBuffer += '\n';
}

bool CTraceFile::Flush() {
    if (m_strBuffer.empty()) {
        return true;
    }
    // A file found full (its rotation failed before) is not written past the cap.
    const bool ready = (m_fd >= 0 || OpenFile()) && (m_nSize < m_nCap || Rotate());
    const bool written = ready && WriteBuffer();
    m_strBuffer.clear();
    if (written && m_nSize >= m_nCap) {
        Rotate();
    }
    return written;
}

void SetTraceReporter(TraceReporter reporter) {
    const std::lock_guard<std::mutex> lock(g_mutex);
    Reporter() = std::move(reporter);
}

std::string TraceProblem(const std::string& path) {
    if (std::string refused = RefusalAt(path); !refused.empty()) {
        return refused;
    }
    const std::lock_guard<std::mutex> lock(g_mutex);
    const auto it = States().find(path);
    return it == States().end() ? std::string() : it->second.problem;
}

std::string TraceFilePath() {
    if (const char* value = std::getenv("VORNAK_TRACE"); value != nullptr && *value != '\0') {
        return value;
    }
    return ReadPortMapValue("Trace").value_or("");
}
