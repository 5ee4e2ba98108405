#include "lines/PortKinds.h"

#include "lines/ModbusTcpPort.h"
#include "lines/ModbusTlsPort.h"
#include "lines/ModbusUdpPort.h"
#include "lines/PosixSerialPort.h"
#include "lines/Rfc2217SerialPort.h"
#include "lines/TcpSerialPort.h"

std::unique_ptr<CSerialPort> MakeKindPort(LineKind kind) {
    switch (kind) {
        case LineKind::Tty:
            return std::make_unique<CPosixSerialPort>();
        case LineKind::Socket:
            return std::make_unique<CTcpSerialPort>();
        case LineKind::Rfc2217:
            return std::make_unique<CRfc2217SerialPort>();
        case LineKind::Tcp:
            return std::make_unique<CModbusTcpPort>();
        case LineKind::Udp:
            return std::make_unique<CModbusUdpPort>();
        case LineKind::Tls:
            return std::make_unique<CModbusTlsPort>();
    }
    return nullptr;
}
