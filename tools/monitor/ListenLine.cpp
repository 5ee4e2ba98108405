#include "tools/monitor/ListenLine.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "lines/BitRate.h"
#include "lines/LineAddress.h"
#include "lines/NetworkPort.h"
#include "lines/PortMapFile.h"
#include "lines/PortResolver.h"
#include "lines/PosixSerialPort.h"
#include "lines/SerialPort.h"
#include "platform/FileReason.h"

namespace monitor {

namespace {

// Why a line of this address is no line for a monitor; empty when it is one.
std::string Refusal(const LineAddress& address) {
    switch (address.kind) {
        case LineKind::Rfc2217:
            return "rfc2217:// sets the line by negotiating with the server, which writes to it; "
                   "a monitor only listens (use the server's raw socket:// port)";
        case LineKind::Tcp:
        case LineKind::Udp:
        case LineKind::Tls:
            return "Modbus TCP is no shared bus: each master has its own connection, so there is "
                   "nothing to overhear (listen to the serial side of the gateway instead)";
        case LineKind::Tty:
        case LineKind::Socket:
            break;
    }
    if (address.rs485) {
        return "the rs485 option drives the line's transmitter; a monitor never does";
    }
    if (address.echo) {
        return "the echo option is for a master that hears its own bytes; a monitor sends none";
    }
    return {};
}

tcflag_t SizeFlag(std::uint16_t bits) {
    return bits == 7 ? CS7 : CS8;
}

}  // namespace

std::uint64_t CharacterNs(const ListenSettings& o) {
    const std::uint64_t bits = 1u + o.dataBits + (o.parity != kParityNone ? 1u : 0u) +
                               (o.stopBits == kStopBitsTwo ? 2u : 1u);
    return bits * 1000000000ull / o.baud;
}

CListenLine::~CListenLine() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    m_conn.Close();
}

bool CListenLine::Open(const ListenSettings& o, std::string& reason) {
    std::string device = o.port;
    if (o.comPort > 0) {
        // COMn as the scanner and vornak-poll find it: the environment, then the Port Map.
        InstallPortResolver(PortMapAnswer);
        const PortDevice resolved = ResolvePort(o.comPort);
        if (resolved.source == PortSource::Refused) {
            reason = "cannot open " + o.port + ": " + resolved.refusal;
            return false;
        }
        device = resolved.path;
    } else if (const std::optional<std::string> fault = ControlCharacterFault(o.port)) {
        // Not echoed: a control character could drive the terminal.
        reason = "cannot open the device: its name holds " + *fault;
        return false;
    }
    const std::string named = o.comPort > 0 ? o.port + " (" + device + ")" : device;
    std::string error;
    const std::optional<LineAddress> address = ParseLineAddress(device, error);
    if (!address) {
        reason = "cannot open " + named + ": " + error;
        return false;
    }
    if (std::string refusal = Refusal(*address); !refusal.empty()) {
        reason = "cannot listen on " + named + ": " + refusal;
        return false;
    }
    m_strDevice = address->target;
    if (address->kind == LineKind::Socket) {
        std::string host;
        std::string port;
        if (!CTcpConnection::SplitEndpoint(address->target, host, port, error)) {
            reason = "cannot open " + named + ": " + error;
            return false;
        }
        const auto deadline =
            CAbortableWait::Clock::now() + std::chrono::milliseconds(CNetworkPort::kOpenBoundMs);
        if (m_conn.Connect(host, port, deadline, error) != 0) {
            reason = "cannot open " + named + ": " + error;
            return false;
        }
        m_bSocket = true;
        return true;
    }
    if (!OpenTty(o, address->lowLatency, error)) {
        reason = "cannot open " + named + ": " + error;
        return false;
    }
    return true;
}

bool CListenLine::OpenTty(const ListenSettings& o, bool lowLatency, std::string& reason) {
    // Read only, and no lock or TIOCEXCL: the master on the bus may use this very adapter.
    const int fd = ::open(m_strDevice.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        reason = ErrnoText(errno);
        return false;
    }
    auto reject = [&](std::string why) {
        ::close(fd);
        reason = std::move(why);
        return false;
    };
    // The kernel raised DTR and RTS as it opened a serial device at a non-zero rate; a
    // pseudo-terminal has no modem lines and refuses this, which costs nothing.
    const int lines = TIOCM_DTR | TIOCM_RTS;
    (void)::ioctl(fd, TIOCMBIC, &lines);
    if (!::isatty(fd)) {
        return reject("not a terminal device");
    }
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        return reject(ErrnoText(errno));
    }
    // Every byte as it came: no translation, no dropped bytes on line errors, no flow control.
    tio.c_iflag &=
        ~static_cast<tcflag_t>(IGNBRK | BRKINT | IGNPAR | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                               IUCLC | IXON | IXOFF | IXANY | INPCK | IMAXBEL);
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS | CSIZE | PARENB | PARODD | CSTOPB);
    tio.c_cflag |= CLOCAL | CREAD | SizeFlag(o.dataBits);
    if (o.parity != kParityNone) {
        tio.c_cflag |= PARENB | (o.parity == kParityOdd ? PARODD : 0);
    }
    if (o.stopBits == kStopBitsTwo) {
        tio.c_cflag |= CSTOPB;
    }
    // VMIN 1: with 0 an empty queue reads as 0 rather than EAGAIN, and 0 means a hang-up.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
        // A pseudo-terminal keeps CS8 without parity whatever is asked, and the C library
        // calls that EINVAL though the rest was applied; it has no character framing to miss.
        // A real adapter refusing the framing would be listened to at the wrong settings.
        if (errno != EINVAL || !IsPseudoTerminal(fd)) {
            return reject(ErrnoText(errno));
        }
    }
    if (const int error = SetExactBitRate(fd, o.baud); error != 0) {
        return reject("the driver does not take " + std::to_string(o.baud) +
                      " bit/s: " + ErrnoText(error));
    }
    LineBitRate set;
    if (const int error = ReadBitRate(fd, set); error != 0) {
        return reject(ErrnoText(error));
    }
    if (std::string why = BitRateMismatch(m_strDevice, o.baud, set); !why.empty()) {
        return reject(why);
    }
    // Setting the line may raise them again on some drivers.
    (void)::ioctl(fd, TIOCMBIC, &lines);
    // What the driver kept from before, or heard at other settings, would come out timed as
    // new; a flush of the input writes nothing to the line.
    (void)::tcflush(fd, TCIFLUSH);
    // As the port layer does unless low_latency=0: an adapter that hands on each byte at once
    // keeps the silences between frames; drivers without the setting refuse it harmlessly.
    serial_struct serial{};
    if (::ioctl(fd, TIOCGSERIAL, &serial) == 0) {
        const int flags =
            lowLatency ? (serial.flags | ASYNC_LOW_LATENCY) : (serial.flags & ~ASYNC_LOW_LATENCY);
        if (flags != serial.flags) {
            serial.flags = flags;
            (void)::ioctl(fd, TIOCSSERIAL, &serial);
        }
    }
    m_fd = fd;
    return true;
}

CListenLine::Wait CListenLine::WaitReadable(int timeoutMs, int& error) {
    // A hang-up counts as readable: the read that follows tells it from data.
    const CAbortableWait::Wait wait =
        m_bSocket ? m_conn.WaitFor(POLLIN, timeoutMs, error)
                  : m_wait.WaitFor(m_fd, static_cast<short>(POLLIN | POLLHUP | POLLERR), timeoutMs,
                                   error);
    switch (wait) {
        case CAbortableWait::Wait::Ready:
            return Wait::Ready;
        case CAbortableWait::Wait::TimedOut:
            return Wait::TimedOut;
        case CAbortableWait::Wait::Aborted:
            return Wait::Stopped;
        case CAbortableWait::Wait::Failed:
        default:
            return Wait::Failed;
    }
}

CListenLine::Read CListenLine::Take(std::uint8_t* data, std::size_t count, std::size_t& got,
                                    int& error) {
    got = 0;
    const long n = m_bSocket ? m_conn.Receive(data, count) : ::read(m_fd, data, count);
    if (n > 0) {
        got = static_cast<std::size_t>(n);
        return Read::Got;
    }
    if (n == 0) {
        return Read::Ended;
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
        return Read::Empty;
    }
    error = errno;
    // A tty whose device went away, or a pseudo-terminal whose other side closed, says EIO.
    return error == EIO || error == ENXIO || error == ENODEV ? Read::Ended : Read::Failed;
}

void CListenLine::Stop() {
    m_wait.Abort();
    m_conn.Abort();
}

}  // namespace monitor
