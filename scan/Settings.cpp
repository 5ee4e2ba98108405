#include "scan/Settings.h"

#include <iterator>

int PortNumber(const MainEnv& env) {
    return env.byPort + 1;
}

std::uint8_t MasterPort(const MainEnv& env) {
    const int number = PortNumber(env);
    return static_cast<std::uint8_t>(number > 0xFF ? 0xFF : number);
}

std::uint32_t BaudRate(const MainEnv& env) {
    if (env.byBaudRate < std::size(kBaudRates))
        return kBaudRates[env.byBaudRate];
    return 9600;
}

std::uint16_t DataBits(const MainEnv& env) {
    return env.byDataSize == 0 ? 7 : 8;
}

std::uint8_t StopBitsCode(const MainEnv& env) {
    return env.byStopBits == 0 ? 0 : 2;
}

// The dialog lists "No", "Even", "Odd"; the line numbers them none, odd, even.
std::uint8_t ParityCode(const MainEnv& env) {
    switch (env.byParity) {
        case 1:
            return 2;
        case 2:
            return 1;
        default:
            return 0;
    }
}

std::uint16_t QuantityLimit(std::uint8_t readFunc) {
    return readFunc <= 1 ? kMaxRegisterQuantity : kMaxCoilQuantity;
}
