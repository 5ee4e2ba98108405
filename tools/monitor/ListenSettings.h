#pragma once

#include <cstdint>
#include <string>

namespace monitor {

// The line a monitor listens to, as the user named and set it.
struct ListenSettings {
    std::string port;  // as given: COMn, a device path or socket://HOST:PORT
    int comPort = 0;   // 1..16 for COMn, 0 for a path or URL
    std::uint32_t baud = 9600;
    std::uint8_t parity = 0;  // the line record's codes: 0 none, 1 odd, 2 even
    std::uint16_t dataBits = 8;
    std::uint8_t stopBits = 0;  // 0 one, 2 two
};

// One character on the line in nanoseconds: start, data, parity and stop bits at the rate.
std::uint64_t CharacterNs(const ListenSettings& line);

}  // namespace monitor
