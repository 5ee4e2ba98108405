#include "platform/FileReason.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

std::string ErrnoText(int error) {
    return std::string(std::strerror(error)) + " (errno " + std::to_string(error) + ")";
}

std::string BrokenLinkText(const std::string& link, int error) {
    char target[4096];
    const ssize_t n = ::readlink(link.c_str(), target, sizeof target);
    const std::string to = n > 0 ? " to " + std::string(target, static_cast<std::size_t>(n)) : "";
    if (error == ENOENT)
        return "a symbolic link" + to + ", which does not exist";
    return "a symbolic link" + to + " that cannot be followed: " + ErrnoText(error);
}

std::string ReadOnlyText(mode_t mode) {
    char octal[8];
    std::snprintf(octal, sizeof octal, "%04o", static_cast<unsigned>(mode & 07777));
    return "read-only (mode " + std::string(octal) + "), so it is left as it was";
}
