#include "tools/mqtt/BrokerUrl.h"

#include <arpa/inet.h>
#include <mosquitto.h>

#include <cctype>

namespace mqtt {

namespace {

constexpr std::string_view kForm = " (mqtt://HOST[:PORT]/TOPIC)";
constexpr std::size_t kMaxHostBytes = 253;

bool Fail(std::string& why, std::string_view reason) {
    why = "--mqtt: ";
    why += reason;
    return false;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) {
            return false;
        }
    }
    return true;
}

bool IsHostNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '.' || c == '_';
}

bool ParsePort(std::string_view text, std::uint16_t& port) {
    if (text.empty() || text.size() > 5) {
        return false;
    }
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value < 1 || value > 65535) {
        return false;
    }
    port = static_cast<std::uint16_t>(value);
    return true;
}

// HOST[:PORT], the host a name, an IPv4 address or an IPv6 address in brackets.
bool ParseAuthority(std::string_view authority, BrokerUrl& url, std::string& why) {
    std::string_view portText;
    bool hasPort = false;
    if (!authority.empty() && authority.front() == '[') {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos) {
            return Fail(why, "the IPv6 address has no closing bracket");
        }
        const std::string address(authority.substr(1, close - 1));
        in6_addr parsed{};
        if (::inet_pton(AF_INET6, address.c_str(), &parsed) != 1) {
            return Fail(why, "the address in brackets is not an IPv6 address");
        }
        url.host = address;
        const std::string_view rest = authority.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':') {
                return Fail(why,
                            std::string("only :PORT may follow the IPv6 address").append(kForm));
            }
            hasPort = true;
            portText = rest.substr(1);
        }
    } else {
        const std::size_t colon = authority.find(':');
        const std::string_view host = authority.substr(0, colon);
        if (colon != std::string_view::npos) {
            if (authority.find(':', colon + 1) != std::string_view::npos) {
                return Fail(why, "an IPv6 address goes in brackets (mqtt://[::1]:1883/TOPIC)");
            }
            hasPort = true;
            portText = authority.substr(colon + 1);
        }
        if (host.empty()) {
            return Fail(why, std::string("no host").append(kForm));
        }
        if (host.size() > kMaxHostBytes) {
            return Fail(why, "the host name is longer than 253 characters");
        }
        for (char c : host) {
            if (!IsHostNameChar(c)) {
                return Fail(why,
                            "the host may hold letters, digits, '-', '.' and '_' only, or an IPv6 "
                            "address in brackets");
            }
        }
        url.host = std::string(host);
    }
    if (hasPort && !ParsePort(portText, url.port)) {
        return Fail(why, "the port must be a number from 1 to 65535");
    }
    return true;
}

bool CheckTopic(std::string_view topic, std::string& why) {
    if (topic.empty()) {
        return Fail(why, std::string("no topic after the host").append(kForm));
    }
    if (topic.size() > kMaxTopicBytes) {
        return Fail(why, "the topic is longer than 65535 bytes");
    }
    for (char c : topic) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            return Fail(why, "the topic holds a control character");
        }
        if (c == '+' || c == '#') {
            return Fail(why,
                        "the topic may not hold the wildcards + or # (it names where to publish)");
        }
    }
    if (mosquitto_validate_utf8(topic.data(), static_cast<int>(topic.size())) != MOSQ_ERR_SUCCESS) {
        return Fail(why, "the topic is not valid UTF-8");
    }
    return true;
}

}  // namespace

std::optional<BrokerUrl> ParseBrokerUrl(std::string_view text, std::string& why) {
    BrokerUrl url;
    if (text.empty()) {
        Fail(why, std::string("no broker address").append(kForm));
        return std::nullopt;
    }
    if (StartsWithNoCase(text, "mqtts://")) {
        url.tls = true;
        url.port = kTlsPort;
        text.remove_prefix(8);
    } else if (StartsWithNoCase(text, "mqtt://")) {
        text.remove_prefix(7);
    } else {
        Fail(why, std::string("the address must start with mqtt:// or mqtts://").append(kForm));
        return std::nullopt;
    }
    const std::size_t slash = text.find('/');
    const std::string_view authority = text.substr(0, slash);
    // Any @ before the path is user information, whatever follows it: say so without
    // repeating it.
    if (authority.find('@') != std::string_view::npos) {
        Fail(why,
             "no user name or password in the address; set VORNAK_MQTT_USER and "
             "VORNAK_MQTT_PASSWORD");
        return std::nullopt;
    }
    if (!ParseAuthority(authority, url, why)) {
        return std::nullopt;
    }
    const std::string_view topic =
        slash == std::string_view::npos ? std::string_view() : text.substr(slash + 1);
    if (!CheckTopic(topic, why)) {
        return std::nullopt;
    }
    url.topic = std::string(topic);
    return url;
}

std::string BrokerAddress(const BrokerUrl& url) {
    const bool v6 = url.host.find(':') != std::string::npos;
    std::string text = v6 ? "[" + url.host + "]" : url.host;
    return text + ":" + std::to_string(url.port);
}

}  // namespace mqtt
