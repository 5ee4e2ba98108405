#include "tools/poll/PollLine.h"

#include <cstdlib>
#include <cstring>

#include "lines/LineAddress.h"
#include "lines/PortMapFile.h"
#include "lines/PortResolver.h"
#include "modbus/LocalModbus.h"

namespace poll {

namespace {

// The device for a path or URL: with -m tcp or -m udp a bare HOST[:PORT] gets its scheme, and
// anything but a Modbus TCP or UDP line is refused (empty).
std::string NetworkDevice(const PollOptions& o) {
    if (o.mode != kPollModeTcp && o.mode != kPollModeUdp) {
        return o.port;
    }
    if (o.port.find("://") == std::string::npos && o.port.rfind('/', 0) != 0) {
        return (o.mode == kPollModeTcp ? "tcp://" : "udp://") + o.port;
    }
    std::string error;
    const std::optional<LineAddress> address = ParseLineAddress(o.port, error);
    return address && IsModbusNetwork(address->kind) ? o.port : std::string();
}

}  // namespace

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
        const std::string device = NetworkDevice(o);
        if (device.empty()) {
            reason = "-m " + std::string(o.mode == kPollModeTcp ? "tcp" : "udp") +
                     " takes HOST[:PORT], tcp://HOST[:PORT] or udp://HOST[:PORT], not " + o.port;
            return false;
        }
        ::setenv("VORNAK_COM1", device.c_str(), 1);
        port = 1;
    } else if (const PortDevice device = ResolvePort(port); device.source == PortSource::Refused) {
        reason = "cannot open " + o.port + ": " + device.refusal;
        return false;
    }
    master.SetMode(o.mode);
    master.SetTimeout(o.timeoutMs);
    master.SetCharInterval(o.charIntervalMs);
    // An answer ends when its length is in, so a long interval costs nothing on a good line.
    master.SetAnswerEnd(AnswerEnd::Length);
    master.SetBroadcast(true);
    master.SetDataBits(o.dataBits);
    master.SetStopBits(o.stopBits);
    master.SetFlowControl(o.flow);
    if (master.Open(static_cast<std::uint8_t>(port), o.baud, o.parity)) {
        const bool network = o.mode == kPollModeTcp || o.mode == kPollModeUdp;
        if (network && master.GetLineFraming() != FramingKind::Mbap) {
            master.Close();
            reason = o.port + " is not a Modbus TCP or UDP line (map it to tcp:// or udp://)";
            return false;
        }
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

bool LineHasSettings(const CLocalModbus& master) {
    if (master.GetLineFraming() == FramingKind::Mbap) {
        return false;
    }
    std::string error;
    const std::optional<LineAddress> address = ParseLineAddress(master.GetPortDevice(), error);
    return !address || address->kind != LineKind::Socket;
}

}  // namespace poll
