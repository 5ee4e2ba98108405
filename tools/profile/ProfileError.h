#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace profile {

// "FILE:LINE: reason", or "FILE: reason" when no line is known, as compilers write it so that
// editors jump to the place.
inline std::string LocatedError(const std::string& path, int line, std::string_view reason) {
    std::string text = path;
    if (line > 0) {
        text += ':' + std::to_string(line);
    }
    text += ": ";
    text += reason;
    return text;
}

// 'name', as every message quotes what the file said: control bytes as \xNN, so that no file
// can drive the terminal the message goes to, and a long text cut.
inline std::string Quoted(std::string_view text) {
    constexpr std::size_t kShown = 64;
    std::string quoted = "'";
    for (const char c : text.substr(0, kShown)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            constexpr char kHex[] = "0123456789ABCDEF";
            quoted += {'\\', 'x', kHex[byte >> 4], kHex[byte & 0xF]};
        } else {
            quoted += c;
        }
    }
    return quoted + (text.size() > kShown ? "'..." : "'");
}

}  // namespace profile
