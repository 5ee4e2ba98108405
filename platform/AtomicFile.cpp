#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <random>

#include "platform/FileReason.h"

namespace {

bool WriteAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool MakeFolders(const std::string& folder) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return true;
        errno = ENOTDIR;
        return false;
    }
    const std::size_t slash = folder.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeFolders(folder.substr(0, slash)))
        return false;
    return ::mkdir(folder.c_str(), 0777) == 0 || errno == EEXIST;
}

// The file a save replaces: the target of a symbolic link, so that the link stays. Nullopt when
// the link leads nowhere, which a new file in its place would hide.
std::optional<std::string> SaveTarget(const std::string& path, int& error) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char* real = ::realpath(path.c_str(), nullptr);
    if (real == nullptr) {
        error = errno;
        return std::nullopt;
    }
    std::string out(real);
    std::free(real);
    return out;
}

}  // namespace

int ReplaceFileAtomically(const std::string& path, const std::string& bytes, std::string& why) {
    why.clear();
    auto fail = [](int error) { return error != 0 ? error : EIO; };
    int linkError = 0;
    const std::optional<std::string> resolved = SaveTarget(path, linkError);
    if (!resolved) {
        why = BrokenLinkText(path, linkError);
        return fail(linkError);
    }
    const std::string& target = *resolved;
    const std::size_t slash = target.find_last_of('/');
    // "dir/" or "" in front of the name; npos + 1 is 0.
    const std::string prefix = target.substr(0, slash + 1);
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : target.substr(0, slash);
    if (target.empty() || slash + 1 == target.size())
        return fail(ENOENT);
    if (!MakeFolders(folder))
        return fail(errno);
    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode))
        return fail(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    // The rename would replace a file its owner made read-only; the mode says so even to root,
    // whom the permission check lets write anything.
    if (exists && (st.st_mode & S_IWUSR) == 0) {
        why = ReadOnlyText(st.st_mode);
        return EACCES;
    }
    if (exists && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
        return fail(errno);

    std::string temp;
    int fd = -1;
    std::random_device random;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        const std::string name = prefix + "." + target.substr(slash + 1) + ".tmp-" +
                                 std::to_string(::getpid()) + "-" + std::to_string(random());
        fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0)
            temp = name;
        else if (errno != EEXIST)
            return fail(errno);
    }
    if (fd < 0)
        return fail(EEXIST);
    auto discard = [&](int error) {
        ::close(fd);
        ::unlink(temp.c_str());
        return fail(error);
    };
    if (exists) {
        if (::fchmod(fd, st.st_mode & 07777) != 0)
            return discard(errno);
        // Only root can give the file back to another owner; for anyone else it stays theirs,
        // which is no reason to keep the old contents.
        if ((st.st_uid != ::geteuid() || st.st_gid != ::getegid()) &&
            ::fchown(fd, st.st_uid, st.st_gid) != 0) {
        }
    }
    if (!WriteAll(fd, bytes) || ::fsync(fd) != 0)
        return discard(errno);
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        return fail(error);
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        return fail(error);
    }
    // The rename itself reaches the disk with the folder.
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return 0;
}
