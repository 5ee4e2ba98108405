#include "platform/PortKinds.h"

#include "platform/PosixSerialPort.h"

std::unique_ptr<CSerialPort> MakeKindPort(LineKind kind) {
    switch (kind) {
        case LineKind::Tty:
            return std::make_unique<CPosixSerialPort>();
        case LineKind::Socket:
        case LineKind::Rfc2217:
            return nullptr;
    }
    return nullptr;
}
