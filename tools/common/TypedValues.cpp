#include "tools/common/TypedValues.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <utility>

namespace poll {

namespace {

struct TypeInfo {
    ValueType type;
    const char* name;
    std::size_t words;
};

constexpr TypeInfo kTypes[] = {
    {ValueType::Uint16, "uint16", 1},   {ValueType::Int16, "int16", 1},
    {ValueType::Hex, "hex", 1},         {ValueType::Bin, "bin", 1},
    {ValueType::Int32, "int32", 2},     {ValueType::Uint32, "uint32", 2},
    {ValueType::Float32, "float32", 2}, {ValueType::Int64, "int64", 4},
    {ValueType::Uint64, "uint64", 4},   {ValueType::Float64, "float64", 4},
    {ValueType::String, "string", 1},
};

const TypeInfo& Info(ValueType type) {
    return kTypes[static_cast<std::size_t>(type)];
}

bool SwapsWords(WordOrder order) {
    return order == WordOrder::Cdab || order == WordOrder::Dcba;
}
bool SwapsBytes(WordOrder order) {
    return order == WordOrder::Badc || order == WordOrder::Dcba;
}
std::uint16_t Swap(std::uint16_t word) {
    return static_cast<std::uint16_t>((word << 8) | (word >> 8));
}

// The value's bits from its n registers, most significant first whatever the order.
std::uint64_t Bits(WordOrder order, const std::uint16_t* words, std::size_t n) {
    std::uint64_t bits = 0;
    for (std::size_t i = 0; i < n; ++i) {
        std::uint16_t word = words[SwapsWords(order) ? n - 1 - i : i];
        bits = (bits << 16) | (SwapsBytes(order) ? Swap(word) : word);
    }
    return bits;
}

std::vector<std::uint16_t> Words(WordOrder order, std::uint64_t bits, std::size_t n) {
    std::vector<std::uint16_t> words(n);
    for (std::size_t i = 0; i < n; ++i) {
        const auto word = static_cast<std::uint16_t>(bits >> (16 * (n - 1 - i)));
        words[SwapsWords(order) ? n - 1 - i : i] = SwapsBytes(order) ? Swap(word) : word;
    }
    return words;
}

template <typename Float>
std::string FloatText(Float value) {
    if (std::isnan(value)) {
        return "NaN";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-Infinity" : "Infinity";
    }
    char text[64];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, value);
    return ec == std::errc() ? std::string(text, end) : std::string("?");
}

template <typename Int>
std::string IntText(Int value) {
    return std::to_string(value);
}

std::string StringText(const std::uint16_t* words, std::size_t count) {
    std::string raw;
    for (std::size_t i = 0; i < count; ++i) {
        raw += static_cast<char>(words[i] >> 8);
        raw += static_cast<char>(words[i] & 0xFF);
    }
    while (!raw.empty() && raw.back() == '\0') {
        raw.pop_back();
    }
    std::string shown;
    for (const char c : raw) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '\\') {
            shown += "\\\\";
        } else if (byte >= 0x20 && byte < 0x7F) {
            shown += c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            shown += escaped;
        }
    }
    return shown;
}

template <typename Int>
std::optional<Int> ParseInt(std::string_view text, int base = 10) {
    Int value{};
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
    if (text.empty() || ec != std::errc() || ptr != end) {
        return std::nullopt;
    }
    return value;
}

template <typename Float>
std::optional<Float> ParseFloat(std::string_view text) {
    if (text == "NaN" || text == "nan") {
        return std::numeric_limits<Float>::quiet_NaN();
    }
    const bool negative = !text.empty() && text[0] == '-';
    const std::string_view magnitude = text.substr(negative || text.starts_with('+') ? 1 : 0);
    if (magnitude == "Infinity" || magnitude == "inf") {
        return negative ? -std::numeric_limits<Float>::infinity()
                        : std::numeric_limits<Float>::infinity();
    }
    // from_chars takes no '+' and no "inf"/"nan" spellings beyond those above.
    if (magnitude.empty() ||
        !(std::isdigit(static_cast<unsigned char>(magnitude[0])) || magnitude[0] == '.')) {
        return std::nullopt;
    }
    Float value{};
    const char* end = magnitude.data() + magnitude.size();
    const auto [ptr, ec] =
        std::from_chars(magnitude.data(), end, value, std::chars_format::general);
    if (ec != std::errc() || ptr != end) {
        return std::nullopt;  // junk, or beyond the type's range
    }
    return negative ? -value : value;
}

std::string_view WithoutPrefix(std::string_view text, char letter) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == letter || text[1] == letter - 32)) {
        return text.substr(2);
    }
    return text;
}

}  // namespace

std::optional<std::uint16_t> ParseRegister(std::string_view text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        return ParseInt<std::uint16_t>(text.substr(2), 16);
    }
    if (text.size() > 1 && (text.back() == 'h' || text.back() == 'H')) {
        return ParseInt<std::uint16_t>(text.substr(0, text.size() - 1), 16);
    }
    return ParseInt<std::uint16_t>(text);
}

std::optional<ValueType> ParseValueType(std::string_view name) {
    for (const TypeInfo& info : kTypes) {
        if (name == info.name) {
            return info.type;
        }
    }
    return std::nullopt;
}

const char* TypeName(ValueType type) {
    return Info(type).name;
}

std::optional<WordOrder> ParseWordOrder(std::string_view name) {
    constexpr std::pair<std::string_view, WordOrder> kOrders[] = {
        {"ABCD", WordOrder::Abcd},     {"CDAB", WordOrder::Cdab},     {"BADC", WordOrder::Badc},
        {"DCBA", WordOrder::Dcba},     {"ABCDEFGH", WordOrder::Abcd}, {"GHEFCDAB", WordOrder::Cdab},
        {"BADCFEHG", WordOrder::Badc}, {"HGFEDCBA", WordOrder::Dcba},
    };
    // "cdab" is as clear as "CDAB": device manuals write it either way.
    const auto sameLetters = [name](std::string_view text) {
        return std::equal(text.begin(), text.end(), name.begin(), name.end(), [](char a, char b) {
            return a == std::toupper(static_cast<unsigned char>(b));
        });
    };
    for (const auto& [text, order] : kOrders) {
        if (sameLetters(text)) {
            return order;
        }
    }
    return std::nullopt;
}

std::size_t RegistersPerValue(ValueType type) {
    return Info(type).words;
}

bool IsWide(ValueType type) {
    return Info(type).words > 1;
}

std::size_t RegistersFor(ValueType type, std::size_t count) {
    return type == ValueType::String ? (count + 1) / 2 : count * RegistersPerValue(type);
}

std::string DecodeValue(ValueType type, WordOrder order, const std::uint16_t* words,
                        std::size_t count) {
    const std::uint64_t bits = type == ValueType::String ? 0 : Bits(order, words, Info(type).words);
    switch (type) {
        case ValueType::Uint16:
            return IntText(words[0]);
        case ValueType::Int16:
            return IntText(static_cast<std::int16_t>(words[0]));
        case ValueType::Hex: {
            char text[8];
            std::snprintf(text, sizeof text, "0x%04x", words[0]);
            return text;
        }
        case ValueType::Bin: {
            std::string text(16, '0');
            for (int i = 0; i < 16; ++i) {
                text[static_cast<std::size_t>(15 - i)] = ((words[0] >> i) & 1) != 0 ? '1' : '0';
            }
            return text;
        }
        case ValueType::Int32:
            return IntText(static_cast<std::int32_t>(static_cast<std::uint32_t>(bits)));
        case ValueType::Uint32:
            return IntText(static_cast<std::uint32_t>(bits));
        case ValueType::Float32:
            return FloatText(std::bit_cast<float>(static_cast<std::uint32_t>(bits)));
        case ValueType::Int64:
            return IntText(static_cast<std::int64_t>(bits));
        case ValueType::Uint64:
            return IntText(bits);
        case ValueType::Float64:
            return FloatText(std::bit_cast<double>(bits));
        case ValueType::String:
        default:
            return StringText(words, count);
    }
}

bool IsJsonNumber(ValueType type, std::string_view text) {
    switch (type) {
        case ValueType::Hex:
        case ValueType::Bin:
        case ValueType::String:
            return false;
        default:
            return text != "NaN" && text != "Infinity" && text != "-Infinity";
    }
}

std::optional<std::vector<std::uint16_t>> EncodeValue(ValueType type, WordOrder order,
                                                      std::string_view text) {
    const std::size_t n = Info(type).words;
    auto single = [](std::optional<std::uint16_t> word) {
        return word ? std::optional(std::vector<std::uint16_t>{*word}) : std::nullopt;
    };
    auto wide = [&](auto value) -> std::optional<std::vector<std::uint16_t>> {
        if (!value) {
            return std::nullopt;
        }
        using T = std::decay_t<decltype(*value)>;
        std::uint64_t bits = 0;
        if constexpr (std::is_same_v<T, float>) {
            bits = std::bit_cast<std::uint32_t>(*value);
        } else if constexpr (std::is_same_v<T, double>) {
            bits = std::bit_cast<std::uint64_t>(*value);
        } else {
            bits = static_cast<std::uint64_t>(*value);
            if (n == 2) {
                bits &= 0xFFFFFFFFu;
            }
        }
        return Words(order, bits, n);
    };
    switch (type) {
        case ValueType::Uint16:
            return single(ParseRegister(text));
        case ValueType::Int16:
            if (const auto v = ParseInt<std::int16_t>(text)) {
                return std::vector<std::uint16_t>{static_cast<std::uint16_t>(*v)};
            }
            return std::nullopt;
        case ValueType::Hex:
            return single(ParseInt<std::uint16_t>(WithoutPrefix(text, 'x'), 16));
        case ValueType::Bin:
            return single(ParseInt<std::uint16_t>(WithoutPrefix(text, 'b'), 2));
        case ValueType::Int32:
            return wide(ParseInt<std::int32_t>(text));
        case ValueType::Uint32:
            return wide(ParseInt<std::uint32_t>(text));
        case ValueType::Float32:
            return wide(ParseFloat<float>(text));
        case ValueType::Int64:
            return wide(ParseInt<std::int64_t>(text));
        case ValueType::Uint64:
            return wide(ParseInt<std::uint64_t>(text));
        case ValueType::Float64:
            return wide(ParseFloat<double>(text));
        case ValueType::String:
        default: {
            if (text.empty()) {
                return std::nullopt;
            }
            std::vector<std::uint16_t> words((text.size() + 1) / 2, 0);
            for (std::size_t i = 0; i < text.size(); ++i) {
                const auto byte = static_cast<unsigned char>(text[i]);
                words[i / 2] |= static_cast<std::uint16_t>(i % 2 == 0 ? byte << 8 : byte);
            }
            return words;
        }
    }
}

std::string TypeRange(ValueType type) {
    switch (type) {
        case ValueType::Uint16:
            return "0 to 65535, decimal, 0x1A2B or 1A2Bh";
        case ValueType::Int16:
            return "-32768 to 32767";
        case ValueType::Hex:
            return "0 to FFFF in hexadecimal, 0x optional";
        case ValueType::Bin:
            return "1 to 16 binary digits, 0b optional";
        case ValueType::Int32:
            return "-2147483648 to 2147483647";
        case ValueType::Uint32:
            return "0 to 4294967295";
        case ValueType::Float32:
            return "a float32 such as 3.5, -1e3, NaN, Infinity or -Infinity";
        case ValueType::Int64:
            return "-9223372036854775808 to 9223372036854775807";
        case ValueType::Uint64:
            return "0 to 18446744073709551615";
        case ValueType::Float64:
            return "a float64 such as 3.5, -1e300, NaN, Infinity or -Infinity";
        case ValueType::String:
        default:
            return "the text, two characters a register";
    }
}

}  // namespace poll
