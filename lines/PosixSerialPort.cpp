#include "lines/PosixSerialPort.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <thread>
#include <utility>

#include "lines/BitRate.h"
#include "lines/ReadTimeouts.h"

namespace {

using Clock = std::chrono::steady_clock;

std::optional<speed_t> SpeedFor(std::uint32_t baud) {
    switch (baud) {
        case 1200:
            return B1200;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        default:
            return std::nullopt;
    }
}

std::optional<tcflag_t> SizeFor(std::uint8_t bits) {
    switch (bits) {
        case 5:
            return CS5;
        case 6:
            return CS6;
        case 7:
            return CS7;
        case 8:
            return CS8;
        default:
            return std::nullopt;
    }
}

bool IsDeviceGone(int error) {
    return error == EIO || error == ENXIO || error == ENODEV;
}

void ModemLines(int fd, unsigned long request, int lines) {
    // A pseudo-terminal has no modem lines and refuses these; the line works without them.
    (void)::ioctl(fd, request, &lines);
}

}  // namespace

// Unix 98 pseudo-terminal slaves have majors 136 to 143.
bool IsPseudoTerminal(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) {
        return false;
    }
    const unsigned int devMajor = major(st.st_rdev);
    return devMajor >= 136 && devMajor <= 143;
}

CPosixSerialPort::~CPosixSerialPort() {
    Close();
}

bool CPosixSerialPort::Fail(int error) {
    m_nLastError = error;
    m_strError.clear();
    return false;
}

bool CPosixSerialPort::Fail(int error, std::string why) {
    m_nLastError = error;
    m_strError = std::move(why);
    return false;
}

bool CPosixSerialPort::Open(const std::string& device) {
    m_strDevice = device;
    if (m_fd >= 0) {
        return Fail(EBUSY);
    }
    // A new session starts without the abort of the previous one.
    m_wait.Reset();
    DropReadAhead();
    m_bOutputPending = false;
    m_dwErrors = 0;

    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return Fail(errno);
    }
    const auto reject = [this, fd](int error) {
        ::close(fd);
        return Fail(error);
    };
    if (!::isatty(fd)) {
        return reject(ENOTTY);
    }
    // TIOCEXCL keeps out other users but not root; the advisory lock holds against everyone
    // who opens through this class, including a second open in the same process.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        return reject(errno == EWOULDBLOCK ? EBUSY : errno);
    }
    if (::ioctl(fd, TIOCEXCL) != 0) {
        return reject(errno);
    }
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        return reject(errno);
    }
    MakeRaw(tio);
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
        return reject(errno);
    }
    // Whatever came in before this open belongs to no exchange of ours.
    ::tcflush(fd, TCIOFLUSH);
    m_fd = fd;
    m_nLastError = 0;
    m_strError.clear();
    return true;
}

bool CPosixSerialPort::Close() {
    if (m_fd < 0) {
        return true;
    }
    const int fd = m_fd;
    m_fd = -1;
    DropReadAhead();
    // close() on a serial port waits up to the driver's closing time (30 s by default) for
    // output that a flow-controlled or dead line will never take; an exchange has already
    // drained what it wrote, so what is left can go.
    ::tcflush(fd, TCOFLUSH);
    ::ioctl(fd, TIOCNXCL);
    ::flock(fd, LOCK_UN);
    if (::close(fd) != 0 && errno != EINTR) {
        return Fail(errno);
    }
    return true;
}

bool CPosixSerialPort::IsOpen() const {
    return m_fd >= 0;
}

bool CPosixSerialPort::SetQueueSizes(std::uint32_t /*receive*/, std::uint32_t /*transmit*/) {
    // The driver owns the queues on Linux; the sizes are advice that nothing here can apply.
    if (m_fd < 0) {
        return Fail(EBADF);
    }
    return true;
}

void CPosixSerialPort::MakeRaw(termios& tio) {
    // Every byte value passes as it is, one for one: no translation (IUCLC would turn hex
    // digits to lower case), no dropped bytes on line errors (IGNPAR), no flow control left
    // over from the previous user of the device until SetLine asks for it.
    tio.c_iflag &=
        ~static_cast<tcflag_t>(IGNBRK | BRKINT | IGNPAR | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                               IUCLC | IXON | IXOFF | IXANY | INPCK | IMAXBEL);
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
    tio.c_cflag |= CLOCAL | CREAD;
    // The descriptor is non-blocking and poll() does all the waiting. VMIN stays 1 because with
    // VMIN 0 the line discipline answers an empty queue with 0 instead of EAGAIN, and 0 must
    // keep meaning that the line hung up.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
}

bool CPosixSerialPort::SetLine(const SerialDcb& dcb) {
    if (m_fd < 0) {
        return Fail(EBADF);
    }
    const std::uint32_t rate = dcb.BaudRate;
    if (rate == 0 || rate > kMaxBitRate) {
        return Fail(EINVAL, m_strDevice + " cannot run at " + std::to_string(rate) +
                                " bit/s (1 to " + std::to_string(kMaxBitRate) + " bit/s)");
    }
    // The rates of the termios table take the usual path; the others need the exact-rate call.
    const std::optional<speed_t> speed = SpeedFor(rate);
    const std::optional<tcflag_t> size = SizeFor(dcb.ByteSize);
    if (!size || dcb.Parity > kParityEven || dcb.StopBits > kStopBitsTwo ||
        dcb.fDtrControl > kDtrControlHandshake || dcb.fRtsControl > kRtsControlHandshake) {
        return Fail(EINVAL);
    }
    termios tio{};
    if (::tcgetattr(m_fd, &tio) != 0) {
        return Fail(errno);
    }
    MakeRaw(tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    tio.c_cflag |= *size;
    if (dcb.Parity != kParityNone) {
        tio.c_cflag |= PARENB;
        if (dcb.Parity == kParityOdd) {
            tio.c_cflag |= PARODD;
        }
        if (dcb.fParity != 0) {
            tio.c_iflag |= INPCK;
        }
    }
    // There is no one-and-a-half stop bit in termios; two is the nearest that a receiver
    // expecting 1.5 still accepts.
    if (dcb.StopBits != kStopBitsOne) {
        tio.c_cflag |= CSTOPB;
    }
    if (dcb.fRtsControl == kRtsControlHandshake || dcb.fOutxCtsFlow != 0) {
        tio.c_cflag |= CRTSCTS;
    }
    if (dcb.fOutX != 0) {
        tio.c_iflag |= IXON;
    }
    if (dcb.fInX != 0) {
        tio.c_iflag |= IXOFF;
    }
    if (dcb.fOutX != 0 || dcb.fInX != 0) {
        tio.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
        tio.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
    }
    // cfsetispeed leaves alone an input rate another program set apart from the output rate.
    tio.c_cflag &= ~static_cast<tcflag_t>(CIBAUD);
    if (speed && (::cfsetispeed(&tio, *speed) != 0 || ::cfsetospeed(&tio, *speed) != 0)) {
        return Fail(errno);
    }
    if (::tcsetattr(m_fd, TCSANOW, &tio) != 0) {
        // A pseudo-terminal keeps CS8 without PARENB whatever is asked, and the C library,
        // reading the settings back, calls that EINVAL although the rest was applied. There is
        // no character framing on a pseudo-terminal, so 7 bits or parity lose nothing there.
        if (errno != EINVAL || !IsPseudoTerminal(m_fd)) {
            return Fail(errno);
        }
    }
    if (!speed) {
        if (const int error = SetExactBitRate(m_fd, rate); error != 0) {
            return Fail(error, "the driver of " + m_strDevice + " does not take " +
                                   std::to_string(rate) + " bit/s");
        }
    }
    // A driver sets the nearest rate its clock divides to, silently, however far off.
    LineBitRate set;
    if (const int error = ReadBitRate(m_fd, set); error != 0) {
        return Fail(error);
    }
    if (std::string why = BitRateMismatch(m_strDevice, rate, set); !why.empty()) {
        return Fail(EINVAL, std::move(why));
    }
    // termios has no DSR flow control, so the DTR/DSR handshake only raises DTR.
    ModemLines(m_fd, dcb.fDtrControl == kDtrControlDisable ? TIOCMBIC : TIOCMBIS, TIOCM_DTR);
    if (dcb.fRtsControl == kRtsControlEnable) {
        ModemLines(m_fd, TIOCMBIS, TIOCM_RTS);
    } else if (dcb.fRtsControl == kRtsControlDisable) {
        ModemLines(m_fd, TIOCMBIC, TIOCM_RTS);
    }
    return true;
}

bool CPosixSerialPort::SetTimeouts(const SerialTimeouts& timeouts) {
    if (m_fd < 0) {
        return Fail(EBADF);
    }
    m_timeouts = timeouts;
    return true;
}

bool CPosixSerialPort::Purge(std::uint32_t flags) {
    if (m_fd < 0) {
        return Fail(EBADF);
    }
    // Transfers here are synchronous, so by the time Purge runs nothing is pending to abort;
    // the abort flags come down to emptying the queue on that side.
    const bool tx = (flags & (kPurgeTxAbort | kPurgeTxClear)) != 0;
    const bool rx = (flags & (kPurgeRxAbort | kPurgeRxClear)) != 0;
    if (!tx && !rx) {
        return true;
    }
    const int which = tx && rx ? TCIOFLUSH : (tx ? TCOFLUSH : TCIFLUSH);
    if (rx) {
        DropReadAhead();
    }
    if (::tcflush(m_fd, which) != 0) {
        return DeviceFailure(errno);
    }
    return true;
}

bool CPosixSerialPort::DeviceFailure(int error) {
    if (IsDeviceGone(error)) {
        m_dwErrors |= kCommErrorDevice;
    }
    return Fail(error);
}

CPosixSerialPort::Wait CPosixSerialPort::WaitFor(short events, int timeoutMs) {
    return m_wait.WaitFor(m_fd, events, timeoutMs, m_nWaitError);
}

// What a read and a write check before they touch the line; the count so far starts at 0.
bool CPosixSerialPort::StartTransfer(const void* data, std::uint32_t count, std::uint32_t* done) {
    if (done != nullptr) {
        *done = 0;
    }
    if (m_fd < 0) {
        return Fail(EBADF);
    }
    if (m_wait.Aborted()) {
        return Fail(ECANCELED);
    }
    if (data == nullptr && count != 0) {
        return Fail(EINVAL);
    }
    return true;
}

bool CPosixSerialPort::Write(const std::uint8_t* data, std::uint32_t count,
                             std::uint32_t* written) {
    if (!StartTransfer(data, count, written)) {
        return false;
    }
    const std::chrono::milliseconds total = TotalBound(m_timeouts.WriteTotalTimeoutMultiplier,
                                                       count, m_timeouts.WriteTotalTimeoutConstant);
    const bool bounded = total.count() != 0;
    const Clock::time_point deadline = Clock::now() + total;

    std::uint32_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(m_fd, data + done, count - done);
        if (n > 0) {
            m_bOutputPending = true;
            done += static_cast<std::uint32_t>(n);
            if (written != nullptr) {
                *written = done;
            }
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            return DeviceFailure(errno);
        }
        // A frame that could not be handed over whole is a failed write, not a short success:
        // the caller would otherwise wait for an answer to half a request.
        const int pollMs = bounded ? PollMsUntil(deadline) : -1;
        if (pollMs == 0) {
            return Fail(ETIMEDOUT);
        }
        switch (WaitFor(POLLOUT, pollMs)) {
            case Wait::Ready:
                break;
            case Wait::TimedOut:
                return Fail(ETIMEDOUT);
            case Wait::Aborted:
                return Fail(ECANCELED);
            case Wait::Failed:
                return DeviceFailure(m_nWaitError);
        }
    }
    return true;
}

bool CPosixSerialPort::Read(std::uint8_t* data, std::uint32_t count, std::uint32_t* received) {
    if (!StartTransfer(data, count, received)) {
        return false;
    }
    const auto fill = [this](std::uint8_t* into, std::uint32_t room) -> long {
        for (;;) {
            const long n = ReadAhead(into, room);
            if (n > 0) {
                return n;
            }
            if (n == 0) {
                // An empty queue gives EAGAIN (see MakeRaw); 0 is a hung-up line.
                DeviceFailure(EIO);
                return -1;
            }
            if (errno == EINTR) {
                continue;
            }
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                DeviceFailure(errno);
                return -1;
            }
            return 0;
        }
    };
    const auto wait = [this](int ms) {
        const Wait result = WaitFor(POLLIN, ms);
        if (result == Wait::Aborted) {
            Fail(ECANCELED);
        } else if (result == Wait::Failed) {
            DeviceFailure(m_nWaitError);
        }
        return result;
    };
    return CReadTimeouts(m_timeouts).Read(data, count, received, fill, wait);
}

long CPosixSerialPort::ReadAhead(std::uint8_t* data, std::uint32_t count) {
    if (m_nAheadPos == m_nAheadEnd && count < sizeof m_ahead) {
        const ssize_t n = ::read(m_fd, m_ahead, sizeof m_ahead);
        if (n <= 0) {
            return n;
        }
        m_nAheadPos = 0;
        m_nAheadEnd = static_cast<std::uint32_t>(n);
    }
    if (m_nAheadPos == m_nAheadEnd) {
        return ::read(m_fd, data, count);
    }
    const std::uint32_t n = std::min(count, m_nAheadEnd - m_nAheadPos);
    std::memcpy(data, m_ahead + m_nAheadPos, n);
    m_nAheadPos += n;
    return n;
}

bool CPosixSerialPort::ClearError(std::uint32_t* errors, SerialStatus* status) {
    if (errors != nullptr) {
        *errors = 0;
    }
    if (status != nullptr) {
        *status = SerialStatus{};
    }
    if (m_fd < 0) {
        return Fail(EBADF);
    }
    bool ok = true;
    if (status != nullptr) {
        int inQueue = 0;
        int outQueue = 0;
        if (::ioctl(m_fd, FIONREAD, &inQueue) != 0 ||
            (m_bOutputPending && ::ioctl(m_fd, TIOCOUTQ, &outQueue) != 0)) {
            ok = DeviceFailure(errno);
        } else {
            m_bOutputPending = outQueue > 0;
            status->cbInQue =
                static_cast<std::uint32_t>(std::max(inQueue, 0)) + (m_nAheadEnd - m_nAheadPos);
            status->cbOutQue = static_cast<std::uint32_t>(std::max(outQueue, 0));
        }
    }
    if (errors != nullptr) {
        *errors = m_dwErrors;
    }
    m_dwErrors = 0;
    return ok;
}

void CPosixSerialPort::Abort() {
    m_wait.Abort();
}

int CPosixSerialPort::LastError() const {
    return m_nLastError;
}

std::string CPosixSerialPort::LastErrorText() const {
    return m_strError;
}

std::string CPosixSerialPort::Device() const {
    return m_strDevice;
}

int CPosixSerialPort::EnableRs485(const Rs485Settings& settings) {
    if (m_fd < 0) {
        return EBADF;
    }
    serial_rs485 rs485{};
    rs485.flags = SER_RS485_ENABLED |
                  (settings.rtsHighWhileSending ? SER_RS485_RTS_ON_SEND : SER_RS485_RTS_AFTER_SEND);
    rs485.delay_rts_before_send = settings.delayBeforeMs;
    rs485.delay_rts_after_send = settings.delayAfterMs;
    return ::ioctl(m_fd, TIOCSRS485, &rs485) == 0 ? 0 : errno;
}

int CPosixSerialPort::SetRts(bool high) {
    if (m_fd < 0) {
        return EBADF;
    }
    int lines = TIOCM_RTS;
    return ::ioctl(m_fd, high ? TIOCMBIS : TIOCMBIC, &lines) == 0 ? 0 : errno;
}

int CPosixSerialPort::WaitSent(std::uint32_t timeoutMs) {
    if (m_fd < 0) {
        return EBADF;
    }
    // The queue empties at the line's pace (or never, with CTS held low): look every
    // millisecond rather than spin, then let the driver wait out its transmitter's last byte.
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int queued = 0;
        if (::ioctl(m_fd, TIOCOUTQ, &queued) != 0) {
            return errno;
        }
        if (queued <= 0) {
            break;
        }
        if (m_wait.Aborted()) {
            return ECANCELED;
        }
        if (Clock::now() >= deadline) {
            return ETIMEDOUT;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return ::tcdrain(m_fd) == 0 ? 0 : errno;
}

void CPosixSerialPort::SetLowLatency(bool on) {
    serial_struct serial{};
    // Drivers without the setting (pseudo-terminals, some USB bridges) refuse both calls;
    // their latency is what it is.
    if (m_fd < 0 || ::ioctl(m_fd, TIOCGSERIAL, &serial) != 0) {
        return;
    }
    const int flags = on ? (serial.flags | ASYNC_LOW_LATENCY) : (serial.flags & ~ASYNC_LOW_LATENCY);
    if (flags != serial.flags) {
        serial.flags = flags;
        (void)::ioctl(m_fd, TIOCSSERIAL, &serial);
    }
}
