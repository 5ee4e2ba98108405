#include "tools/slave/LineDevice.h"

// The kernel's termios2 (any bit rate) instead of <termios.h>, which clashes with it.
#include <asm/termbits.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>  // posix_openpt, grantpt, unlockpt, ptsname
#include <cstring>

namespace slave {

namespace {

struct SpeedEntry {
    long baud;
    tcflag_t code;
};

// The rates with a code of their own keep it, so that programs reading the line with the C
// library's termios calls see them; any other goes as BOTHER with the exact figure.
constexpr SpeedEntry kSpeeds[] = {
    {50, B50},       {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},     {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

tcflag_t SpeedCode(long baud) {
    for (const auto& entry : kSpeeds) {
        if (entry.baud == baud) {
            return entry.code;
        }
    }
    return BOTHER;
}

std::string Reason(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

}  // namespace

bool RateWithinTolerance(long wanted, long actual) {
    const long long off = static_cast<long long>(actual) - wanted;
    return (off < 0 ? -off : off) * 50 <= wanted;
}

bool ApplyLineSettings(int fd, const SlaveOptions& options, bool requireSpeed, std::string& error) {
    termios2 tio{};
    if (ioctl(fd, TCGETS2, &tio) != 0) {
        error = Reason("TCGETS2");
        return false;
    }
    // Raw mode: no echo, no line editing, no signals, no character translation either way.
    tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                          ICRNL | IXON | IXOFF | IXANY | INPCK);
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    tio.c_cflag |= options.dataBits == 7 ? CS7 : CS8;
    if (options.parity != Parity::None) {
        tio.c_cflag |= PARENB;
        if (options.parity == Parity::Odd) {
            tio.c_cflag |= PARODD;
        }
    }
    if (options.stopBits == 2) {
        tio.c_cflag |= CSTOPB;
    }
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    // No input rate of its own (B0 there), so input follows output.
    tio.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= SpeedCode(options.baud);
    tio.c_ospeed = static_cast<speed_t>(options.baud);
    tio.c_ispeed = tio.c_ospeed;
    if (ioctl(fd, TCSETS2, &tio) != 0) {
        error = Reason("the line cannot be set to " + LineText(options));
        return false;
    }
    if (!requireSpeed) {
        return true;
    }
    // A driver sets the nearest rate its clock divides to, however far off, without a word.
    termios2 set{};
    if (ioctl(fd, TCGETS2, &set) != 0) {
        error = Reason("TCGETS2");
        return false;
    }
    if (!RateWithinTolerance(options.baud, static_cast<long>(set.c_ospeed))) {
        error = "the line cannot run at " + std::to_string(options.baud) +
                " bit/s (the driver set " + std::to_string(set.c_ospeed) + ")";
        return false;
    }
    return true;
}

CLineDevice::~CLineDevice() {
    Close();
}

std::optional<MasterSettings> CLineDevice::HeardSettings() const {
    termios2 tio{};
    if (m_holdFd < 0 || ioctl(m_holdFd, TCGETS2, &tio) != 0) {
        return std::nullopt;
    }
    return MasterSettings{static_cast<long>(tio.c_ospeed), (tio.c_cflag & CSTOPB) != 0 ? 2 : 1};
}

bool CLineDevice::Open(const SlaveOptions& options, std::string& error) {
    Close();
    return options.device.empty() ? OpenPseudoTerminal(options, error) : OpenDevice(options, error);
}

void CLineDevice::Close() {
    if (m_holdFd >= 0) {
        ::close(m_holdFd);
        m_holdFd = -1;
    }
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_strPath.clear();
}

bool CLineDevice::OpenPseudoTerminal(const SlaveOptions& options, std::string& error) {
    m_fd = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_fd < 0) {
        error = Reason("posix_openpt");
        return false;
    }
    if (grantpt(m_fd) != 0 || unlockpt(m_fd) != 0) {
        error = Reason("grantpt/unlockpt");
        Close();
        return false;
    }
    const char* name = ptsname(m_fd);
    if (name == nullptr) {
        error = Reason("ptsname");
        Close();
        return false;
    }
    m_strPath = name;
    // Holding the terminal side keeps the line from hanging up between a master's Close and
    // its next Open, and keeps the raw mode set here until a master sets its own. Without
    // raw mode the terminal would echo our answers straight back as requests.
    m_holdFd = ::open(m_strPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_holdFd < 0) {
        error = Reason("open " + m_strPath);
        Close();
        return false;
    }
    if (!ApplyLineSettings(m_holdFd, options, false, error)) {
        Close();
        return false;
    }
    const int flags = fcntl(m_fd, F_GETFL);
    if (flags < 0 || fcntl(m_fd, F_SETFL, flags | O_NONBLOCK) != 0) {
        error = Reason("fcntl");
        Close();
        return false;
    }
    return true;
}

bool CLineDevice::OpenDevice(const SlaveOptions& options, std::string& error) {
    m_fd = ::open(options.device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_fd < 0) {
        error = Reason("open " + options.device);
        return false;
    }
    if (!isatty(m_fd)) {
        error = options.device + " is not a terminal device";
        Close();
        return false;
    }
    if (!ApplyLineSettings(m_fd, options, true, error)) {
        Close();
        return false;
    }
    m_strPath = options.device;
    return true;
}

}  // namespace slave
