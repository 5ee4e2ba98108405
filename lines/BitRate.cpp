#include "lines/BitRate.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>

namespace {

bool CloseEnough(std::uint32_t asked, std::uint32_t set) {
    const std::uint64_t off = asked > set ? asked - set : set - asked;
    return off * 50 <= asked;
}

}  // namespace

int SetExactBitRate(int fd, std::uint32_t rate) {
    termios2 tio{};
    if (::ioctl(fd, TCGETS2, &tio) != 0) {
        return errno;
    }
    // No input rate of its own (B0 there means the output rate): the C library's termios calls
    // never clear that field, so a rate left in it would outlive the next standard rate.
    tio.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER;
    tio.c_ospeed = rate;
    tio.c_ispeed = rate;
    return ::ioctl(fd, TCSETS2, &tio) == 0 ? 0 : errno;
}

int ReadBitRate(int fd, LineBitRate& rate) {
    termios2 tio{};
    if (::ioctl(fd, TCGETS2, &tio) != 0) {
        return errno;
    }
    rate.output = tio.c_ospeed;
    rate.input = tio.c_ispeed;
    return 0;
}

std::string BitRateMismatch(const std::string& device, std::uint32_t asked,
                            const LineBitRate& set) {
    const std::uint32_t input = set.input == 0 ? set.output : set.input;
    const bool outputOk = CloseEnough(asked, set.output);
    if (outputOk && CloseEnough(asked, input)) {
        return {};
    }
    return "the driver of " + device + " does not take " + std::to_string(asked) +
           " bit/s (it set " + std::to_string(outputOk ? input : set.output) + ")";
}
