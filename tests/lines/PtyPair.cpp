#include "PtyPair.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <thread>

#include "platform/Clock.h"

PtyPair::PtyPair() {
    char name[128] = {};
    if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        m_master = m_slave = -1;
        return;
    }
    m_path = name;
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
}

PtyPair::~PtyPair() {
    CloseMaster();
    if (m_slave >= 0) {
        ::close(m_slave);
    }
}

void PtyPair::Send(const std::vector<std::uint8_t>& bytes) const {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else {
            pollfd p{m_master, POLLOUT, 0};
            if (::poll(&p, 1, 1000) <= 0) {
                return;
            }
        }
    }
}

std::vector<std::uint8_t> PtyPair::Receive(std::size_t n, int timeoutMs) const {
    std::vector<std::uint8_t> out;
    const std::uint32_t start = TimeGetTime();
    while (out.size() < n) {
        const int left = timeoutMs - static_cast<int>(TimeGetTime() - start);
        if (left <= 0) {
            break;
        }
        pollfd p{m_master, POLLIN, 0};
        if (::poll(&p, 1, left) <= 0) {
            break;
        }
        std::uint8_t buf[4096];
        const std::size_t want = std::min(n - out.size(), sizeof buf);
        const ssize_t got = ::read(m_master, buf, want);
        if (got <= 0) {
            break;
        }
        out.insert(out.end(), buf, buf + got);
    }
    return out;
}

void PtyPair::CloseMaster() {
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}

bool WaitForInQueue(CSerialPort& port, std::uint32_t n, int timeoutMs) {
    const std::uint32_t start = TimeGetTime();
    for (;;) {
        SerialStatus status;
        std::uint32_t errors = 0;
        if (port.ClearError(&errors, &status) && status.cbInQue >= n) {
            return true;
        }
        if (static_cast<int>(TimeGetTime() - start) > timeoutMs) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

SerialDcb MasterDcb(std::uint32_t baud, std::uint8_t parity, std::uint8_t bits,
                    std::uint8_t stopBits, std::uint8_t flow) {
    SerialDcb dcb;
    dcb.DCBlength = 28;
    dcb.BaudRate = baud;
    dcb.fBinary = 1;
    dcb.fParity = 0;
    dcb.ByteSize = bits;
    dcb.Parity = parity;
    dcb.StopBits = stopBits;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.XonLim = 100;
    dcb.XoffLim = 100;
    dcb.fOutxDsrFlow = (flow & 1) != 0 ? 1 : 0;
    dcb.fDtrControl = (flow & 1) != 0 ? kDtrControlHandshake : kDtrControlEnable;
    dcb.fOutxCtsFlow = (flow & 2) != 0 ? 1 : 0;
    dcb.fRtsControl = (flow & 2) != 0 ? kRtsControlHandshake : kRtsControlEnable;
    dcb.fOutX = dcb.fInX = (flow & 4) != 0 ? 1 : 0;
    return dcb;
}

std::vector<std::uint8_t> AllByteValues() {
    std::vector<std::uint8_t> bytes(256);
    for (int i = 0; i < 256; ++i) {
        bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    }
    return bytes;
}
