#include "tools/poll/ExchangeEnd.h"

#include "modbus/Modbus.h"

namespace poll {

bool Answered(std::uint16_t code) {
    return code == kModbusOk || (code & kModbusException) != 0;
}

bool LineLost(std::uint16_t code) {
    return code == kModbusWriteError || code == kModbusReadError || code == kModbusPortNotOpen;
}

}  // namespace poll
