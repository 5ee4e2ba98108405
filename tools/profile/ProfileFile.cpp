#include "tools/profile/ProfileFile.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace profile {

namespace {

// Closes the descriptor on every way out.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

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

bool Fail(const std::string& path, const std::string& reason, std::string& error) {
    error = path + ": " + reason;
    return false;
}

}  // namespace

bool ReadProfileFile(const std::string& path, std::string& text, std::string& error) {
    // Without O_NONBLOCK, opening a FIFO would wait for a writer before fstat could refuse it.
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (file.get() < 0) {
        return Fail(path, std::string("cannot open: ") + std::strerror(errno), error);
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) {
        return Fail(path, std::string("cannot read: ") + std::strerror(errno), error);
    }
    if (!S_ISREG(info.st_mode) || IsPseudoFileSystem(file.get())) {
        return Fail(path, "not a regular file", error);
    }
    const std::string tooLarge = "larger than " + std::to_string(kMaxProfileBytes) + " bytes";
    if (static_cast<unsigned long long>(info.st_size) > kMaxProfileBytes) {
        return Fail(path, tooLarge, error);
    }
    // The file may grow between fstat and read: read one byte past the limit to see it.
    text.assign(kMaxProfileBytes + 1, '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        const ssize_t n = ::read(file.get(), text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return Fail(path, std::string("cannot read: ") + std::strerror(errno), error);
        }
        if (n == 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    if (got > kMaxProfileBytes) {
        return Fail(path, tooLarge, error);
    }
    text.resize(got);
    return true;
}

}  // namespace profile
