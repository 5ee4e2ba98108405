#include "tools/profile/ProfileFile.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/RegularFile.h"

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

bool Fail(const std::string& path, const std::string& reason, std::string& error) {
    error = path + ": " + reason;
    return false;
}

}  // namespace

bool ReadProfileFile(const std::string& path, std::string& text, std::string& error) {
    std::string reason;
    const Descriptor file(OpenRegularFile(path, kMaxProfileBytes, reason));
    if (file.get() < 0) {
        return Fail(path, reason, error);
    }
    const std::string tooLarge = "larger than " + std::to_string(kMaxProfileBytes) + " bytes";
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
