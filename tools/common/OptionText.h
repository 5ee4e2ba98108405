#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "tools/common/OutputFormat.h"

// The pieces of the command-line tools' option parsing that mean the same in each program, so
// that vornak-poll and vornak-monitor take a value the same way and refuse it in the same words.
namespace poll {

// Digits in the base, the whole text; nullopt for anything else or past 32 bits.
std::optional<std::uint32_t> ParseDigits(std::string_view text, int base);
// A decimal number from low to high.
std::optional<std::uint32_t> ParseDecimal(std::string_view text, std::uint32_t low,
                                          std::uint32_t high);

template <typename T>
using Choices = std::pair<std::string_view, T>[];

// --parity, --stop-bits and -o in the line record's and the output's codes.
extern const std::pair<std::string_view, std::uint8_t> kParities[3];
extern const std::pair<std::string_view, std::uint8_t> kStopBitCounts[2];
extern const std::pair<std::string_view, OutputFormat> kFormats[3];

// What -T and --order take, as a refusal says it.
inline constexpr char kTypeNames[] =
    "uint16, int16, hex, bin, int32, uint32, float32, int64, uint64, float64 or string";
inline constexpr char kOrderNames[] =
    "ABCD, CDAB, BADC or DCBA (64-bit: ABCDEFGH, GHEFCDAB, BADCFEHG, HGFEDCBA)";

template <typename T, std::size_t N>
std::optional<T> Choose(std::string_view text, const std::pair<std::string_view, T> (&choices)[N]) {
    for (const auto& [name, value] : choices) {
        if (name == text) {
            return value;
        }
    }
    return std::nullopt;
}

// Puts a parsed value into its field; false when the text gave none.
template <typename Field, typename Value>
bool Store(const std::optional<Value>& parsed, Field& field) {
    if (parsed) {
        field = static_cast<Field>(*parsed);
    }
    return parsed.has_value();
}

// "COM3" (any case) gives 3; 0 when the text is no COM name; -1 for COM0 or beyond COM16.
int ComPortNumber(const std::string& port);

}  // namespace poll
