#include "tools/poll/PollLine.h"

#include <cstdlib>
#include <cstring>

#include "lines/LineAddress.h"
#include "lines/PortMapFile.h"
#include "lines/PortResolver.h"
#include "modbus/LocalModbus.h"

namespace poll {

bool OpenLine(CLocalModbus& master, const PollOptions& o, std::string& reason) {
    if (!o.trace.empty()) {
        ::setenv("VORNAK_TRACE", o.trace.c_str(), 1);
    }
    // COMn as the scanner finds it: the environment, then the "Port Map" of the settings file.
    InstallPortResolver(PortMapAnswer);
    int port = o.comPort;
    if (port == 0) {
        // Not echoed: a control character could drive the terminal.
        if (const std::optional<std::string> fault = ControlCharacterFault(o.port)) {
            reason = "cannot open the device: its name holds " + *fault;
            return false;
        }
        ::setenv("VORNAK_COM1", o.port.c_str(), 1);
        port = 1;
    } else if (const PortDevice device = ResolvePort(port); device.source == PortSource::Refused) {
        reason = "cannot open " + o.port + ": " + device.refusal;
        return false;
    }
    master.SetMode(o.mode);
    master.SetTimeout(o.timeoutMs);
    master.SetCharInterval(o.charIntervalMs);
    master.SetDataBits(o.dataBits);
    master.SetStopBits(o.stopBits);
    master.SetFlowControl(o.flow);
    if (master.Open(static_cast<std::uint8_t>(port), o.baud, o.parity)) {
        return true;
    }
    reason = "cannot open " + o.port;
    if (const std::string device = master.GetPortDevice(); !device.empty() && device != o.port) {
        reason += " (" + device + ")";
    }
    if (const int error = master.GetLastPortError(); error != 0) {
        reason +=
            ": " + std::string(std::strerror(error)) + " (errno " + std::to_string(error) + ")";
    }
    if (const std::string text = master.GetPortErrorText(); !text.empty()) {
        reason += ": " + text;
    }
    return false;
}

}  // namespace poll
