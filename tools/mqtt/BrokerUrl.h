#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mqtt {

inline constexpr std::uint16_t kPlainPort = 1883;
inline constexpr std::uint16_t kTlsPort = 8883;
// A topic name is a length-prefixed string in the protocol.
inline constexpr std::size_t kMaxTopicBytes = 65535;

// Where the records go: mqtt://HOST[:PORT]/TOPIC or mqtts://HOST[:PORT]/TOPIC.
struct BrokerUrl {
    bool tls = false;
    std::string host;  // an IPv6 address without its brackets
    std::uint16_t port = kPlainPort;
    std::string topic;
};

// The URL, or nullopt with a one-line reason in why. Reasons never repeat parts of the text:
// a password pasted into it must not end up on a terminal or in a log.
std::optional<BrokerUrl> ParseBrokerUrl(std::string_view text, std::string& why);

// "host:port", with an IPv6 address in brackets, for messages.
std::string BrokerAddress(const BrokerUrl& url);

}  // namespace mqtt
