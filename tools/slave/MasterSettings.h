#pragma once

#include <string>

#include "tools/slave/SlaveOptions.h"

namespace slave {

// What a master has set on the pseudo-terminal the simulator serves, read from the termios
// both sides share. The driver clears the parity and forces 8 data bits whatever the master
// asks, so only the bit rate and the stop bits can be seen.
struct MasterSettings {
    long baud = 0;
    int stopBits = 1;
};

// "" when a slave at the options' settings hears the master; else why it hears garbage, as a
// log note: "line settings differ: master at 19200 bit/s, 2 stop bits". A rate within the 2 %
// a UART tolerates is the same rate.
std::string SettingsMismatch(const SlaveOptions& options, const MasterSettings& master);

}  // namespace slave
