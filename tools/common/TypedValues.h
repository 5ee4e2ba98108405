#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace poll {

enum class ValueType {
    Uint16,
    Int16,
    Hex,
    Bin,
    Int32,
    Uint32,
    Float32,
    Int64,
    Uint64,
    Float64,
    String
};

// Where the bytes of a wide value sit in its registers: ABCD puts the most significant word
// first, each register high byte first; the others swap the words, the bytes in each word,
// or both. A 64-bit value follows the same rule word pair by word pair.
enum class WordOrder { Abcd, Cdab, Badc, Dcba };

// Decimal, 0x1A2B or 1A2Bh, as the write dialog takes a register; unlike the dialog, junk and
// numbers past 65535 are refused rather than cut.
std::optional<std::uint16_t> ParseRegister(std::string_view text);

std::optional<ValueType> ParseValueType(std::string_view name);
const char* TypeName(ValueType type);
// Also takes the 64-bit names (ABCDEFGH, GHEFCDAB, BADCFEHG, HGFEDCBA).
std::optional<WordOrder> ParseWordOrder(std::string_view name);

// Registers one value takes: 1, 2 or 4; a string takes one for each two characters.
std::size_t RegistersPerValue(ValueType type);
bool IsWide(ValueType type);
// Registers that `count` values need; for a string, count is its length in characters.
std::size_t RegistersFor(ValueType type, std::size_t count);

// One value as it is shown, from its registers. Floats print the shortest text that reads
// back to the same bits, NaN and infinities as "NaN", "Infinity", "-Infinity". A string's
// characters outside printable ASCII show as \xNN, so that no register can drive a terminal.
std::string DecodeValue(ValueType type, WordOrder order, const std::uint16_t* words,
                        std::size_t count);

// Whether the shown text is a JSON number (else it goes out as a JSON string).
bool IsJsonNumber(ValueType type, std::string_view text);

// The registers of one value written in the type; nullopt when the text is no value of the
// type or does not fit it. A string takes the whole text, two characters a register.
std::optional<std::vector<std::uint16_t>> EncodeValue(ValueType type, WordOrder order,
                                                      std::string_view text);

// What the type accepts, for a refusal: "-2147483648 to 2147483647".
std::string TypeRange(ValueType type);

}  // namespace poll
