#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tools/common/TypedValues.h"

namespace profile {

enum class PointTable { Coil, DiscreteInput, Holding, Input };

enum class MotionKind { None, Increment, Random, Sine, Toggle, Copy, Clock, Uptime };

// How the simulator moves a point on its own, in engineering units.
struct Motion {
    MotionKind kind = MotionKind::None;
    double step = 1;    // increment: added each period
    double period = 1;  // seconds, > 0: increment, random, sine, toggle
    double min = 0, max = 0;
    double amplitude = 0, offset = 0;  // sine: offset + amplitude * sin(2 pi t / period)
    std::string source;                // copy: the point whose value this one repeats
};

// One named value of a device. A coil or discrete input is one bit: its type is Uint16 holding
// 0 or 1, as "bool" names it in a profile. A bit field (bit >= 0) is bits [bit, bit + width)
// of one uint16 register, read as an unsigned number.
struct Point {
    std::string name;
    PointTable table = PointTable::Holding;
    std::uint16_t address = 0;
    poll::ValueType type = poll::ValueType::Uint16;
    poll::WordOrder order = poll::WordOrder::Abcd;
    int bit = -1;
    int width = 1;
    std::size_t length = 0;        // string: characters
    double scale = 1, offset = 0;  // engineering = raw * scale + offset
    std::string unit;
    bool writable = false;
    std::string initial;  // engineering value as text; empty: 0 or ""
    Motion motion;
    int line = 0;

    bool IsBit() const { return table == PointTable::Coil || table == PointTable::DiscreteInput; }
    bool IsBitField() const { return bit >= 0; }
    // Registers it spans, or bits for a coil or discrete input.
    std::size_t Registers() const;
};

const char* TableName(PointTable table);
std::optional<PointTable> ParseTable(std::string_view name);
const char* MotionName(MotionKind kind);
std::optional<MotionKind> ParseMotionKind(std::string_view name);

}  // namespace profile
