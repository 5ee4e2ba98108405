#include "platform/RegularFile.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// Kernel files claim to be regular and small, yet read without end or change while read.
bool IsPseudoFileSystem(int fd) {
    struct statfs fs {};
    if (::fstatfs(fd, &fs) != 0) {
        return false;
    }
    const auto type = static_cast<unsigned long>(fs.f_type);
    return type == PROC_SUPER_MAGIC || type == SYSFS_MAGIC || type == DEBUGFS_MAGIC ||
           type == TRACEFS_MAGIC || type == SECURITYFS_MAGIC || type == CGROUP_SUPER_MAGIC ||
           type == CGROUP2_SUPER_MAGIC;
}

int Refuse(int fd, std::string text, std::string& reason) {
    ::close(fd);
    reason = std::move(text);
    return -1;
}

}  // namespace

int OpenRegularFile(const std::string& path, std::uint64_t limit, std::string& reason) {
    // Without O_NONBLOCK, opening a FIFO would wait for a writer before fstat could refuse it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        reason = std::string("cannot open: ") + std::strerror(errno);
        return -1;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return Refuse(fd, std::string("cannot read: ") + std::strerror(errno), reason);
    }
    if (!S_ISREG(info.st_mode) || IsPseudoFileSystem(fd)) {
        return Refuse(fd, "not a regular file", reason);
    }
    if (static_cast<std::uint64_t>(info.st_size) > limit) {
        return Refuse(fd, "larger than " + std::to_string(limit) + " bytes", reason);
    }
    return fd;
}
