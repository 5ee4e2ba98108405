#include "platform/StandardDescriptors.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

bool EnsureStandardDescriptors(unsigned* reopened) {
    unsigned closed = 0;
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
            continue;
        }
        // Not close-on-exec: a program started from here gets them as its own standard three.
        const int opened = ::open("/dev/null", O_RDWR | O_NOCTTY);
        if (opened < 0) {
            return false;
        }
        // The lower ones are open, so this is the number wanted; dup2 only if a thread raced.
        if (opened != fd) {
            const bool moved = ::dup2(opened, fd) == fd;
            ::close(opened);
            if (!moved) {
                return false;
            }
        }
        closed |= 1u << fd;
    }
    if (reopened != nullptr) {
        *reopened = closed;
    }
    return true;
}
