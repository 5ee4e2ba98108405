#include "tools/mqtt/MosquittoText.h"

#include <mosquitto.h>

#include <cctype>
#include <cstring>

namespace mqtt {

namespace {

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.back() == '.' || text.back() == ' ' || text.back() == '\n')) {
        text.remove_suffix(1);
    }
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    return text;
}

std::string SystemWords(int err) {
    char buffer[256];
    // The GNU strerror_r, which returns the text rather than filling the buffer.
    return ::strerror_r(err, buffer, sizeof buffer);
}

}  // namespace

std::string ResultWords(int rc, int err) {
    switch (rc) {
        case MOSQ_ERR_ERRNO:
            return SystemWords(err);
        case MOSQ_ERR_CONN_LOST:
            return "connection lost";
        case MOSQ_ERR_KEEPALIVE:
            return "no answer within the keep-alive time";
        case MOSQ_ERR_EAI:
            return "host name not found";
        case MOSQ_ERR_TLS:
        case MOSQ_ERR_TLS_HANDSHAKE:
            return "TLS failed";
        default:
            break;
    }
    std::string words(Trimmed(mosquitto_strerror(rc)));
    if (words.size() > 1 && std::islower(static_cast<unsigned char>(words[1])) != 0) {
        words[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(words[0])));
    }
    return words;
}

std::string ConnackWords(int code) {
    std::string_view text = mosquitto_connack_string(code);
    constexpr std::string_view kRefused = "Connection Refused: ";
    if (text.substr(0, kRefused.size()) == kRefused) {
        text.remove_prefix(kRefused.size());
    }
    return std::string(Trimmed(text));
}

std::string LogLineWords(std::string_view line) {
    constexpr std::string_view kError = "Error: ";
    if (line.substr(0, kError.size()) == kError) {
        line.remove_prefix(kError.size());
    }
    // OpenSSL's lines end with "library:function:reason" parts; the reason says it.
    if (line.substr(0, 7) == "OpenSSL") {
        const std::size_t colon = line.rfind(':');
        if (colon != std::string_view::npos) {
            line.remove_prefix(colon + 1);
        }
    }
    return std::string(Trimmed(line));
}

}  // namespace mqtt
