#include "lines/TcpSerialPort.h"

#include <cerrno>

bool CTcpSerialPort::SetLine(const SerialDcb& dcb) {
    if (!IsOpen()) {
        return Fail(EBADF);
    }
    m_dcb = dcb;
    return true;
}
