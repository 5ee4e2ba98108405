#include "tools/slave/MasterSettings.h"

#include "tools/slave/LineDevice.h"

namespace slave {

std::string SettingsMismatch(const SlaveOptions& options, const MasterSettings& master) {
    if (RateWithinTolerance(options.baud, master.baud) && options.stopBits == master.stopBits) {
        return {};
    }
    return "line settings differ: master at " + std::to_string(master.baud) + " bit/s, " +
           std::to_string(master.stopBits) + (master.stopBits == 1 ? " stop bit" : " stop bits");
}

}  // namespace slave
