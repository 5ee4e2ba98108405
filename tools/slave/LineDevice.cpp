#include "tools/slave/LineDevice.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>  // posix_openpt, grantpt, unlockpt, ptsname
#include <cstring>

namespace slave {

namespace {

struct SpeedEntry {
    long baud;
    speed_t speed;
};

constexpr SpeedEntry kSpeeds[] = {
    {50, B50},       {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},     {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

bool FindSpeed(long baud, speed_t& speed) {
    for (const auto& entry : kSpeeds) {
        if (entry.baud == baud) {
            speed = entry.speed;
            return true;
        }
    }
    return false;
}

std::string Reason(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

}  // namespace

bool ApplyLineSettings(int fd, const SlaveOptions& options, bool requireSpeed, std::string& error) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        error = Reason("tcgetattr");
        return false;
    }
    // Raw mode: no echo, no line editing, no signals, no character translation either way.
    tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                          ICRNL | IXON | IXOFF | IXANY | INPCK);
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB);
#ifdef CRTSCTS
    tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
#endif
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
    speed_t speed = B9600;
    if (FindSpeed(options.baud, speed)) {
        cfsetispeed(&tio, speed);
        cfsetospeed(&tio, speed);
    } else if (requireSpeed) {
        error = "the line cannot run at " + std::to_string(options.baud) + " bit/s";
        return false;
    }
    if (tcsetattr(fd, TCSANOW, &tio) != 0) {
        error = Reason("tcsetattr");
        return false;
    }
    return true;
}

CLineDevice::~CLineDevice() {
    Close();
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
