#pragma once

#include "SocketSerialPort.h"

// A serial line behind a device server in raw TCP mode ("socket://HOST:PORT"): the frames go
// through unchanged. The line settings cannot travel on such a connection; they are kept for
// whoever shows them and are set on the server itself.
class CTcpSerialPort : public CSocketSerialPort {
public:
    bool SetLine(const SerialDcb& dcb) override;
    const SerialDcb& Line() const { return m_dcb; }

private:
    SerialDcb m_dcb;
};
