#include "tools/profile/NumberText.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

namespace profile {

std::optional<double> ParseNumber(std::string_view text) {
    const bool negative = text.starts_with('-');
    const std::string_view magnitude = text.substr(negative || text.starts_with('+') ? 1 : 0);
    if (magnitude == "NaN" || magnitude == "nan") {
        return std::numeric_limits<double>::quiet_NaN();
    }
    if (magnitude == "Infinity" || magnitude == "inf") {
        return negative ? -std::numeric_limits<double>::infinity()
                        : std::numeric_limits<double>::infinity();
    }
    // from_chars would take its own "inf" and "nan" spellings and refuses a leading '+'.
    if (magnitude.empty() ||
        !(std::isdigit(static_cast<unsigned char>(magnitude[0])) || magnitude[0] == '.')) {
        return std::nullopt;
    }
    double value = 0;
    const char* end = magnitude.data() + magnitude.size();
    const auto [ptr, ec] =
        std::from_chars(magnitude.data(), end, value, std::chars_format::general);
    if (ec != std::errc() || ptr != end) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

std::string NumberText(double value) {
    if (std::isnan(value)) {
        return "NaN";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-Infinity" : "Infinity";
    }
    char text[64];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, value);
    return ec == std::errc() ? std::string(text, end) : std::string("NaN");
}

}  // namespace profile
