#pragma once

#include "TcpSerialPort.h"

// Modbus TCP ("tcp://HOST[:PORT]"): a TCP connection that carries the MBAP framing. The line
// settings have nowhere to go; SetLine keeps them and changes nothing, as for socket://.
class CModbusTcpPort : public CTcpSerialPort {
public:
    LineFraming Framing() const override { return LineFraming::Mbap; }
};
