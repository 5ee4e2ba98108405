#include "tools/poll/PollLine.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "lines/CertificateRole.h"
#include "lines/LineAddress.h"
#include "lines/LinePort.h"
#include "lines/PortMapFile.h"
#include "lines/PortResolver.h"
#include "lines/TlsContext.h"
#include "modbus/LocalModbus.h"

namespace poll {

namespace {

const char* ModeName(std::uint16_t mode) {
    return mode == kPollModeTcp ? "tcp" : mode == kPollModeUdp ? "udp" : "tls";
}

// A tls:// device for HOST[:PORT] or a tls:// URL, with the files of --cert, --key and --ca
// as its options; empty for any other kind of line.
std::string TlsDevice(const PollOptions& o) {
    std::string device = o.port;
    if (device.find("://") == std::string::npos && device.rfind('/', 0) != 0) {
        device = "tls://" + device;
    } else if (device.rfind("tls://", 0) != 0) {
        return {};
    }
    const std::pair<const char*, const std::string*> files[] = {
        {"cert", &o.tls.cert}, {"key", &o.tls.key}, {"ca", &o.tls.ca}};
    for (const auto& [name, file] : files) {
        if (!file->empty()) {
            device += (device.find('?') == std::string::npos ? "?" : "&") + std::string(name) +
                      "=" + *file;
        }
    }
    return device;
}

// The device for a path or URL: with -m tcp or -m udp a bare HOST[:PORT] gets its scheme, and
// anything but a Modbus TCP or UDP line is refused (empty).
std::string NetworkDevice(const PollOptions& o) {
    const bool tlsUrl = o.port.rfind("tls://", 0) == 0;
    if (!IsNetworkMode(o.mode) && !tlsUrl) {
        return o.port;
    }
    if (o.mode == kPollModeTls || tlsUrl) {
        return TlsDevice(o);
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
            reason = "-m " + std::string(ModeName(o.mode)) + " takes HOST[:PORT], " +
                     (o.mode == kPollModeTls ? "tls://HOST[:PORT]"
                                             : "tcp://HOST[:PORT] or udp://HOST[:PORT]") +
                     ", not " + o.port;
            return false;
        }
        ::setenv("VORNAK_COM1", device.c_str(), 1);
        port = 1;
    } else if (const PortDevice device = ResolvePort(port); device.source == PortSource::Refused) {
        reason = "cannot open " + o.port + ": " + device.refusal;
        return false;
    }
    // The framing follows the line: MBAP for every network one.
    master.SetMode(o.mode == kPollModeTls ? kPollModeTcp : o.mode);
    master.SetTimeout(o.timeoutMs);
    master.SetCharInterval(o.charIntervalMs);
    // An answer ends when its length is in, so a long interval costs nothing on a good line.
    master.SetAnswerEnd(AnswerEnd::Length);
    master.SetBroadcast(true);
    master.SetDataBits(o.dataBits);
    master.SetStopBits(o.stopBits);
    master.SetFlowControl(o.flow);
    if (o.mode == kPollModeTls && !o.tls.key.empty()) {
        // As ssh does: said, not refused; the key works, but others may have read it.
        if (const std::optional<std::string> warning = KeyFileWarning(o.tls.key)) {
            std::fprintf(stderr, "vornak-poll: warning: %s\n", warning->c_str());
        }
    }
    if (master.Open(static_cast<std::uint8_t>(port), o.baud, o.parity)) {
        if (o.tls.info) {
            std::fputs(TlsInfoText(master).c_str(), stderr);
        }
        if (IsNetworkMode(o.mode) && master.GetLineFraming() != FramingKind::Mbap) {
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

std::string TlsInfoText(const CLocalModbus& master) {
    const auto* line = dynamic_cast<const CLinePort*>(master.GetPortObject());
    const std::optional<TlsSessionInfo> session =
        line != nullptr ? line->TlsSession() : std::nullopt;
    if (!session) {
        return "vornak-poll: tls: the line is not a TLS one\n";
    }
    std::string text = "vornak-poll: tls: " + session->protocol + ", " + session->cipher +
                       "\nvornak-poll: tls: device " + session->peerSubject +
                       "\nvornak-poll: tls: issued by " + session->peerIssuer + "\n";
    // The role this end shows is in its own certificate, as the device reads it.
    std::string error;
    const std::optional<LineAddress> address = ParseLineAddress(master.GetPortDevice(), error);
    const std::optional<CertificateRole> role =
        address ? CertificateFileRole(address->tls.cert) : std::nullopt;
    if (role && role->claim == CertificateRole::Claim::Named) {
        text += "vornak-poll: tls: role presented: " + role->role + "\n";
    } else if (role) {
        text += role->claim == CertificateRole::Claim::None
                    ? "vornak-poll: tls: role presented: none (the certificate names no role)\n"
                    : "vornak-poll: tls: role presented: unreadable (the role extension holds no "
                      "single text)\n";
    }
    return text;
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
