#include "lines/LineAddress.h"

#include <charconv>
#include <cstdio>
#include <string_view>

namespace {

constexpr std::uint32_t kMaxDelayMs = 1000;
constexpr std::string_view kModbusPort = "502";
constexpr std::string_view kSecurePort = "802";

struct KindPrefix {
    std::string_view prefix;
    LineKind kind;
};
constexpr KindPrefix kKinds[] = {{"socket://", LineKind::Socket},
                                 {"rfc2217://", LineKind::Rfc2217},
                                 {"tcp://", LineKind::Tcp},
                                 {"udp://", LineKind::Udp},
                                 {"tls://", LineKind::Tls}};

constexpr const char* kTtyOptions =
    "echo, rs485, rs485_delay_before=MS, rs485_delay_after=MS, rs485_rts=high|low, "
    "low_latency=0|1";
constexpr const char* kTlsOptions = "cert=FILE, key=FILE, ca=FILE";

std::optional<bool> ParseFlag(const std::optional<std::string_view>& value) {
    if (!value || *value == "1") {
        return true;
    }
    if (*value == "0") {
        return false;
    }
    return std::nullopt;
}

std::optional<std::uint32_t> ParseMs(const std::optional<std::string_view>& value) {
    if (!value || value->empty()) {
        return std::nullopt;
    }
    std::uint32_t ms = 0;
    const char* end = value->data() + value->size();
    const auto [ptr, ec] = std::from_chars(value->data(), end, ms);
    if (ec != std::errc() || ptr != end || ms > kMaxDelayMs) {
        return std::nullopt;
    }
    return ms;
}

// One of a TLS line's files; false with the reason when it is not one.
bool ApplyTlsOption(TlsFiles& files, std::string_view name,
                    const std::optional<std::string_view>& value, std::string& error) {
    std::string* const file = name == "cert"  ? &files.cert
                              : name == "key" ? &files.key
                              : name == "ca"  ? &files.ca
                                              : nullptr;
    if (file == nullptr) {
        error = "unknown option \"" + std::string(name) +
                "\" (a tls:// line accepts: " + kTlsOptions + ")";
        return false;
    }
    if (!value || value->empty()) {
        error = "option " + std::string(name) + " needs a file (" + std::string(name) + "=FILE)";
        return false;
    }
    if (!file->empty()) {
        error = "option " + std::string(name) + " given twice";
        return false;
    }
    *file = std::string(*value);
    return true;
}

// Applies one option; false with the reason when the name or the value is not accepted.
bool ApplyOption(LineAddress& address, std::string_view name,
                 const std::optional<std::string_view>& value, std::string& error) {
    const bool tty = address.kind == LineKind::Tty;
    if (address.kind == LineKind::Tls) {
        return ApplyTlsOption(address.tls, name, value, error);
    }
    if (IsModbusNetwork(address.kind)) {
        const std::string none = std::string(" (a Modbus ") +
                                 (address.kind == LineKind::Tcp ? "TCP" : "UDP") +
                                 " line takes no options)";
        const bool known = name == "echo" || name == "rs485" || name == "rs485_delay_before" ||
                           name == "rs485_delay_after" || name == "rs485_rts" ||
                           name == "low_latency";
        error = !known ? "unknown option \"" + std::string(name) + "\"" + none
                : name == "echo"
                    ? "option echo applies to serial lines only" + none
                    : "option " + std::string(name) + " applies to serial devices only" + none;
        return false;
    }
    const auto bad = [&](const std::string& accepted) {
        error = "bad value \"" + std::string(value.value_or("")) + "\" for option " +
                std::string(name) + " (accepted: " + accepted + ")";
        return false;
    };
    if (name == "echo") {
        const auto on = ParseFlag(value);
        if (!on) {
            return bad("echo, echo=0 or echo=1");
        }
        address.echo = *on;
        return true;
    }
    const bool ttyOnly = name == "rs485" || name == "rs485_delay_before" ||
                         name == "rs485_delay_after" || name == "rs485_rts" ||
                         name == "low_latency";
    if (!ttyOnly) {
        error = "unknown option \"" + std::string(name) +
                "\" (accepted: " + (tty ? kTtyOptions : "echo") + ")";
        return false;
    }
    if (!tty) {
        error = "option " + std::string(name) +
                " applies to serial devices only (a device server line accepts: echo)";
        return false;
    }
    if (name == "rs485") {
        const auto on = ParseFlag(value);
        if (!on) {
            return bad("rs485, rs485=0 or rs485=1");
        }
        address.rs485 = *on;
        return true;
    }
    if (name == "low_latency") {
        if (value != "0" && value != "1") {
            return bad("0 or 1");
        }
        address.lowLatency = *value == "1";
        return true;
    }
    if (name == "rs485_rts") {
        if (value != "high" && value != "low") {
            return bad("high or low");
        }
        address.rs485Settings.rtsHighWhileSending = *value == "high";
        return true;
    }
    const auto ms = ParseMs(value);
    if (!ms) {
        return bad("0 to " + std::to_string(kMaxDelayMs) + " ms");
    }
    (name == "rs485_delay_before" ? address.rs485Settings.delayBeforeMs
                                  : address.rs485Settings.delayAfterMs) = *ms;
    return true;
}

std::string Quoted(std::string_view text) {
    std::string quoted(1, '"');
    quoted.append(text);
    quoted.push_back('"');
    return quoted;
}

// HOST[:PORT] with the kind's port filled in when none is given; nullopt with the reason when
// the port is not one or an IPv6 address lacks its brackets.
std::optional<std::string> ModbusEndpoint(std::string_view target, std::string_view defaultPort,
                                          std::string& error) {
    std::size_t colon = std::string_view::npos;
    if (target.front() == '[') {
        const std::size_t close = target.find(']');
        if (close == std::string_view::npos ||
            (close + 1 < target.size() && target[close + 1] != ':')) {
            error = Quoted(target) + " is not [IPv6 ADDRESS] or [IPv6 ADDRESS]:PORT";
            return std::nullopt;
        }
        colon = close + 1 < target.size() ? close + 1 : std::string_view::npos;
    } else {
        colon = target.find(':');
        if (colon != std::string_view::npos && target.find(':', colon + 1) != target.npos) {
            error =
                Quoted(target) + ": an IPv6 address goes in brackets, [ADDRESS] or [ADDRESS]:PORT";
            return std::nullopt;
        }
    }
    if (colon == 0 || target.substr(0, 2) == "[]") {
        error = "no HOST in " + Quoted(target);
        return std::nullopt;
    }
    if (colon == std::string_view::npos) {
        return std::string(target) + ":" + std::string(defaultPort);
    }
    const std::string_view port = target.substr(colon + 1);
    unsigned number = 0;
    const char* end = port.data() + port.size();
    const auto [ptr, ec] = std::from_chars(port.data(), end, number);
    if (port.empty() || ec != std::errc() || ptr != end || number < 1 || number > 65535) {
        error = "bad port " + Quoted(port) + " in " + Quoted(target) +
                " (accepted: 1 to 65535, or none for " + std::string(defaultPort) + ")";
        return std::nullopt;
    }
    return std::string(target);
}

}  // namespace

const char* LineKindName(LineKind kind) {
    switch (kind) {
        case LineKind::Tty:
            break;
        case LineKind::Socket:
            return "socket://";
        case LineKind::Rfc2217:
            return "rfc2217://";
        case LineKind::Tcp:
            return "tcp://";
        case LineKind::Udp:
            return "udp://";
        case LineKind::Tls:
            return "tls://";
    }
    return "tty";
}

bool IsModbusNetwork(LineKind kind) {
    return kind == LineKind::Tcp || kind == LineKind::Udp || kind == LineKind::Tls;
}

const char* LineSettingsNote(LineKind kind) {
    switch (kind) {
        case LineKind::Tty:
            break;
        case LineKind::Socket:
            return "line settings set on the server";
        case LineKind::Rfc2217:
            return "line settings sent to the server";
        case LineKind::Tcp:
            return "Modbus TCP, line settings do not apply";
        case LineKind::Udp:
            return "Modbus UDP, line settings do not apply";
        case LineKind::Tls:
            return "Modbus/TCP Security, line settings do not apply";
    }
    return nullptr;
}

std::optional<std::string> ControlCharacterFault(const std::string& device) {
    for (std::size_t i = 0; i < device.size(); ++i) {
        const auto c = static_cast<unsigned char>(device[i]);
        if (c < 0x20 || c == 0x7F) {
            char code[8];
            std::snprintf(code, sizeof code, "0x%02X", c);
            return "a control character (" + std::string(code) + ") at byte " +
                   std::to_string(i + 1);
        }
    }
    return std::nullopt;
}

std::string LineTarget(const std::string& device) {
    return device.substr(0, device.find('?'));
}

std::optional<LineAddress> ParseLineAddress(const std::string& device, std::string& error) {
    error.clear();
    if (const std::optional<std::string> fault = ControlCharacterFault(device)) {
        error = "the device holds " + *fault;
        return std::nullopt;
    }
    LineAddress address;
    std::string_view rest = device;
    const std::size_t query = rest.find('?');
    std::string_view target = rest.substr(0, query);
    for (const KindPrefix& kind : kKinds) {
        if (target.substr(0, kind.prefix.size()) == kind.prefix) {
            address.kind = kind.kind;
            target.remove_prefix(kind.prefix.size());
            break;
        }
    }
    if (address.kind == LineKind::Tty && target.find("://") != std::string_view::npos) {
        error =
            "unknown kind of line \"" + std::string(target.substr(0, target.find("://") + 3)) +
            "\" (accepted: a device path, socket://HOST:PORT, rfc2217://HOST:PORT, "
            "tcp://HOST[:PORT], udp://HOST[:PORT], tls://HOST[:PORT]?cert=FILE&key=FILE&ca=FILE)";
        return std::nullopt;
    }
    if (target.empty()) {
        error = address.kind == LineKind::Tty   ? "no device path"
                : IsModbusNetwork(address.kind) ? "no HOST[:PORT] after the kind"
                                                : "no HOST:PORT after the kind";
        return std::nullopt;
    }
    address.target = std::string(target);
    if (IsModbusNetwork(address.kind)) {
        const std::optional<std::string> endpoint = ModbusEndpoint(
            target, address.kind == LineKind::Tls ? kSecurePort : kModbusPort, error);
        if (!endpoint) {
            return std::nullopt;
        }
        address.target = *endpoint;
    }
    bool rs485Detail = false;
    std::string_view options = query == std::string_view::npos ? "" : rest.substr(query + 1);
    while (!options.empty()) {
        const std::size_t amp = options.find('&');
        const std::string_view option = options.substr(0, amp);
        options = amp == std::string_view::npos ? "" : options.substr(amp + 1);
        if (option.empty()) {
            continue;
        }
        const std::size_t eq = option.find('=');
        const std::string_view name = option.substr(0, eq);
        const std::optional<std::string_view> value =
            eq == std::string_view::npos ? std::nullopt
                                         : std::optional<std::string_view>(option.substr(eq + 1));
        if (!ApplyOption(address, name, value, error)) {
            return std::nullopt;
        }
        rs485Detail = rs485Detail || (name.substr(0, 6) == "rs485_");
    }
    if (address.kind == LineKind::Tls) {
        const TlsFiles& files = address.tls;
        const char* const missing = files.cert.empty()  ? "cert"
                                    : files.key.empty() ? "key"
                                    : files.ca.empty()  ? "ca"
                                                        : nullptr;
        if (missing != nullptr) {
            error = "missing option " + std::string(missing) +
                    "=FILE (a tls:// line needs cert=FILE, key=FILE and ca=FILE)";
            return std::nullopt;
        }
    }
    if (rs485Detail && !address.rs485) {
        error = "the options rs485_delay_before, rs485_delay_after and rs485_rts need rs485";
        return std::nullopt;
    }
    return address;
}
