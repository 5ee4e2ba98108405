#include "tools/profile/PointValue.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

#include "tools/profile/NumberText.h"
#include "tools/profile/ProfileError.h"

namespace profile {

namespace {

using poll::ValueType;

// The raw values an integer point takes; 64-bit limits are not doubles, so their upper end is
// the power of two just past them.
struct RawRange {
    double lo;
    double hi;
    bool hiExclusive;
};

std::optional<RawRange> IntegerRange(const Point& point) {
    if (point.IsBit()) {
        return RawRange{0, 1, false};
    }
    if (point.IsBitField()) {
        return RawRange{0, std::ldexp(1.0, point.width) - 1, false};
    }
    switch (point.type) {
        case ValueType::Uint16:
            return RawRange{0, std::numeric_limits<std::uint16_t>::max(), false};
        case ValueType::Int16:
            return RawRange{std::numeric_limits<std::int16_t>::min(),
                            std::numeric_limits<std::int16_t>::max(), false};
        case ValueType::Uint32:
            return RawRange{0, std::numeric_limits<std::uint32_t>::max(), false};
        case ValueType::Int32:
            return RawRange{std::numeric_limits<std::int32_t>::min(),
                            std::numeric_limits<std::int32_t>::max(), false};
        case ValueType::Uint64:
            return RawRange{0, std::ldexp(1.0, 64), true};
        case ValueType::Int64:
            return RawRange{-std::ldexp(1.0, 63), std::ldexp(1.0, 63), true};
        default:
            return std::nullopt;
    }
}

std::string RangeText(const Point& point, const RawRange& range) {
    if (point.scale == 1 && point.offset == 0 && range.hiExclusive) {
        return point.type == ValueType::Uint64 ? "0 to 18446744073709551615"
                                               : "-9223372036854775808 to 9223372036854775807";
    }
    double lo = range.lo * point.scale + point.offset;
    double hi = range.hi * point.scale + point.offset;
    if (lo > hi) {
        std::swap(lo, hi);
    }
    return NumberText(lo) + " to " + NumberText(hi);
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

std::optional<int> BoolValue(std::string_view text) {
    const std::string lower = Lower(text);
    if (lower == "true" || lower == "on" || lower == "1") {
        return 1;
    }
    if (lower == "false" || lower == "off" || lower == "0") {
        return 0;
    }
    return std::nullopt;
}

std::optional<protocol::Words> Refuse(std::string& why, std::string reason) {
    why = std::move(reason);
    return std::nullopt;
}

std::optional<protocol::Words> EncodeString(const Point& point, std::string_view text,
                                            std::string& why) {
    if (text.size() > point.length) {
        return Refuse(
            why, Quoted(text) + " does not fit " + std::to_string(point.length) + " characters");
    }
    protocol::Words words(point.Registers(), 0);
    if (!text.empty()) {
        const auto packed = poll::EncodeValue(ValueType::String, point.order, text);
        std::copy(packed->begin(), packed->end(), words.begin());
    }
    return words;
}

std::optional<protocol::Words> EncodeInteger(const Point& point, double engineering, double raw,
                                             const RawRange& range, std::string& why) {
    const double rounded = std::round(raw);
    if (std::isnan(raw) || rounded < range.lo ||
        (range.hiExclusive ? rounded >= range.hi : rounded > range.hi)) {
        return Refuse(why, NumberText(engineering) + " is out of range " + RangeText(point, range));
    }
    if (point.IsBit() || point.IsBitField()) {
        return protocol::Words{static_cast<std::uint16_t>(rounded)};
    }
    const std::string text = rounded < 0 ? std::to_string(static_cast<std::int64_t>(rounded))
                                         : std::to_string(static_cast<std::uint64_t>(rounded));
    return poll::EncodeValue(point.type, point.order, text);
}

std::optional<protocol::Words> EncodeFloat(const Point& point, double engineering, double raw,
                                           std::string& why) {
    if (point.type == ValueType::Float32 && std::isfinite(raw) &&
        std::fabs(raw) > std::numeric_limits<float>::max()) {
        return Refuse(why, NumberText(engineering) + " is out of range for float32");
    }
    std::string text = NumberText(raw);
    if (point.type == ValueType::Float32 && std::isfinite(raw)) {
        char digits[64];
        const auto [end, ec] =
            std::to_chars(digits, digits + sizeof digits, static_cast<float>(raw));
        text.assign(digits, ec == std::errc() ? end : digits);
    }
    return poll::EncodeValue(point.type, point.order, text);
}

// The shortest decimal text of `engineering` that encodes to `words` again, so that a scaled
// 2305 at 0.1 reads "230.5" rather than the double's "230.50000000000003".
std::string ShortestText(const Point& point, double engineering, const protocol::Words& words) {
    if (!std::isfinite(engineering)) {
        return NumberText(engineering);
    }
    const auto readsBack = [&](const char* begin, const char* end) {
        std::string ignored;
        const auto value = ParseNumber(std::string_view(begin, end - begin));
        return value && EncodePoint(point, *value, ignored) == words;
    };
    char text[400];
    const double magnitude = std::fabs(engineering);
    const bool plain = engineering == 0 || (magnitude >= 1e-4 && magnitude < 1e15);
    for (int precision = plain ? 0 : 1; precision <= 17; ++precision) {
        const auto format = plain ? std::chars_format::fixed : std::chars_format::general;
        const auto [end, ec] =
            std::to_chars(text, text + sizeof text, engineering, format, precision);
        if (ec == std::errc() && readsBack(text, end)) {
            return std::string(text, end);
        }
    }
    return NumberText(engineering);
}

}  // namespace

std::optional<protocol::Words> EncodePoint(const Point& point, std::string_view engineering,
                                           std::string& why) {
    if (point.type == ValueType::String && !point.IsBit()) {
        return EncodeString(point, engineering, why);
    }
    if (point.IsBit() || (point.IsBitField() && !engineering.empty() &&
                          std::isalpha(static_cast<unsigned char>(engineering[0])))) {
        if (const auto bit = BoolValue(engineering)) {
            return EncodePoint(point, static_cast<double>(*bit), why);
        }
        if (point.IsBit()) {
            return Refuse(why, Quoted(engineering) + " is not true or false");
        }
    }
    // Unscaled values go through the register text as typed, so that 64-bit integers keep
    // every digit a double would lose.
    if (point.scale == 1 && point.offset == 0 && !point.IsBitField()) {
        if (auto words = poll::EncodeValue(point.type, point.order, engineering)) {
            return words;
        }
    }
    const auto number = ParseNumber(engineering);
    if (!number) {
        return Refuse(why, Quoted(engineering) + " is not a number");
    }
    return EncodePoint(point, *number, why);
}

std::optional<protocol::Words> EncodePoint(const Point& point, double engineering,
                                           std::string& why) {
    if (point.type == ValueType::String && !point.IsBit()) {
        return Refuse(why, "string point " + Quoted(point.name) + " takes text, not a number");
    }
    if (point.IsBit()) {
        if (engineering != 0 && engineering != 1) {
            return Refuse(why, NumberText(engineering) + " is not 0 or 1");
        }
        return protocol::Words{static_cast<std::uint16_t>(engineering)};
    }
    const double raw = (engineering - point.offset) / point.scale;
    if (const auto range = IntegerRange(point)) {
        return EncodeInteger(point, engineering, raw, *range, why);
    }
    return EncodeFloat(point, engineering, raw, why);
}

PointReading DecodePoint(const Point& point, const std::uint16_t* words) {
    if (point.IsBit()) {
        const bool on = words[0] != 0;
        return {on ? 1.0 : 0.0, on ? "true" : "false"};
    }
    if (point.IsBitField()) {
        const std::uint16_t field = ExtractBits(point, words[0]);
        const double number = field * point.scale + point.offset;
        std::string text = ShortestText(point, number, protocol::Words{field});
        return {*ParseNumber(text), std::move(text)};
    }
    const std::size_t count = point.Registers();
    if (point.type == ValueType::String) {
        protocol::Words text(words, words + count);
        if (point.length % 2 == 1 && !text.empty()) {
            text.back() &= 0xFF00;  // the byte past the last character
        }
        return {std::numeric_limits<double>::quiet_NaN(),
                poll::DecodeValue(ValueType::String, point.order, text.data(), count)};
    }
    std::string raw = poll::DecodeValue(point.type, point.order, words, count);
    const double rawNumber = ParseNumber(raw).value_or(std::numeric_limits<double>::quiet_NaN());
    if (point.scale == 1 && point.offset == 0) {
        return {rawNumber, std::move(raw)};
    }
    const double number = rawNumber * point.scale + point.offset;
    std::string text = ShortestText(point, number, protocol::Words(words, words + count));
    return {ParseNumber(text).value_or(number), std::move(text)};
}

std::uint16_t ExtractBits(const Point& point, std::uint16_t reg) {
    if (!point.IsBitField()) {
        return reg;
    }
    const unsigned mask = (1u << point.width) - 1;
    return static_cast<std::uint16_t>((reg >> point.bit) & mask);
}

std::uint16_t InsertBits(const Point& point, std::uint16_t reg, std::uint16_t field) {
    if (!point.IsBitField()) {
        return field;
    }
    const unsigned mask = ((1u << point.width) - 1) << point.bit;
    return static_cast<std::uint16_t>((reg & ~mask) | ((unsigned{field} << point.bit) & mask));
}

}  // namespace profile
