#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/Pdu.h"
#include "tools/profile/Point.h"

namespace profile {

// The registers that hold an engineering value in the point's type and order, raw =
// (engineering - offset) / scale, integers rounded to the nearest. A coil or discrete input
// gives one word 0 or 1 ("true", "false", "on", "off", "1", "0"); a bit field gives its field
// value, unshifted, in one word (InsertBits places it); a string gives Registers() words, NUL
// padded. nullopt and the reason in `why` when the text is no value or does not fit.
std::optional<protocol::Words> EncodePoint(const Point& point, std::string_view engineering,
                                           std::string& why);
std::optional<protocol::Words> EncodePoint(const Point& point, double engineering,
                                           std::string& why);

// number is the engineering value (NaN for a string); text is the shortest that encodes back
// to the same registers: integer types unscaled print as integers, coils as "true"/"false",
// strings as their text with odd bytes escaped.
struct PointReading {
    double number = 0;
    std::string text;
};

// From the point's Registers() words; for a bit field the whole register, the field taken out.
PointReading DecodePoint(const Point& point, const std::uint16_t* words);

// A bit field's value within its register, and the register with the field replaced; for
// any other point the register itself and the field as given.
std::uint16_t ExtractBits(const Point& point, std::uint16_t reg);
std::uint16_t InsertBits(const Point& point, std::uint16_t reg, std::uint16_t field);

}  // namespace profile
