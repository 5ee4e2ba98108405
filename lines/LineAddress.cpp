#include "lines/LineAddress.h"

#include <charconv>
#include <cstdio>
#include <string_view>

namespace {

constexpr std::uint32_t kMaxDelayMs = 1000;

struct KindPrefix {
    std::string_view prefix;
    LineKind kind;
};
constexpr KindPrefix kKinds[] = {{"socket://", LineKind::Socket},
                                 {"rfc2217://", LineKind::Rfc2217}};

constexpr const char* kTtyOptions =
    "echo, rs485, rs485_delay_before=MS, rs485_delay_after=MS, rs485_rts=high|low, "
    "low_latency=0|1";

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

// Applies one option; false with the reason when the name or the value is not accepted.
bool ApplyOption(LineAddress& address, std::string_view name,
                 const std::optional<std::string_view>& value, std::string& error) {
    const bool tty = address.kind == LineKind::Tty;
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

}  // namespace

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
        error = "unknown kind of line \"" + std::string(target.substr(0, target.find("://") + 3)) +
                "\" (accepted: a device path, socket://HOST:PORT, rfc2217://HOST:PORT)";
        return std::nullopt;
    }
    if (target.empty()) {
        error = address.kind == LineKind::Tty ? "no device path" : "no HOST:PORT after the kind";
        return std::nullopt;
    }
    address.target = std::string(target);
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
    if (rs485Detail && !address.rs485) {
        error = "the options rs485_delay_before, rs485_delay_after and rs485_rts need rs485";
        return std::nullopt;
    }
    return address;
}
