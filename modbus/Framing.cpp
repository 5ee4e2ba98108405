#include "modbus/Framing.h"

std::unique_ptr<CFraming> MakeFraming(FramingKind kind) {
    switch (kind) {
        case FramingKind::Ascii:
            return MakeAsciiFraming();
        case FramingKind::Mbap:
            return MakeMbapFraming();
        case FramingKind::Rtu:
            break;
    }
    return MakeRtuFraming();
}
