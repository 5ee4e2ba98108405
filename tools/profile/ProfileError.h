#pragma once

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

// 'name', as every message quotes what the file said.
inline std::string Quoted(std::string_view text) {
    return "'" + std::string(text) + "'";
}

}  // namespace profile
