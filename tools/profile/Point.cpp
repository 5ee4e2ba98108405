#include "tools/profile/Point.h"

#include <utility>

namespace profile {

namespace {

constexpr std::pair<std::string_view, PointTable> kTables[] = {
    {"coil", PointTable::Coil},
    {"discrete", PointTable::DiscreteInput},
    {"holding", PointTable::Holding},
    {"input", PointTable::Input},
};

constexpr std::pair<std::string_view, MotionKind> kMotions[] = {
    {"none", MotionKind::None},     {"increment", MotionKind::Increment},
    {"random", MotionKind::Random}, {"sine", MotionKind::Sine},
    {"toggle", MotionKind::Toggle}, {"copy", MotionKind::Copy},
    {"clock", MotionKind::Clock},   {"uptime", MotionKind::Uptime},
};

template <typename Enum, std::size_t N>
const char* NameOf(const std::pair<std::string_view, Enum> (&names)[N], Enum value) {
    for (const auto& [name, each] : names) {
        if (each == value) {
            return name.data();
        }
    }
    return "?";
}

template <typename Enum, std::size_t N>
std::optional<Enum> ValueOf(const std::pair<std::string_view, Enum> (&names)[N],
                            std::string_view text) {
    for (const auto& [name, each] : names) {
        if (name == text) {
            return each;
        }
    }
    return std::nullopt;
}

}  // namespace

std::size_t Point::Registers() const {
    if (IsBit() || IsBitField()) {
        return 1;
    }
    return poll::RegistersFor(type, type == poll::ValueType::String ? length : 1);
}

const char* TableName(PointTable table) {
    return NameOf(kTables, table);
}

std::optional<PointTable> ParseTable(std::string_view name) {
    return ValueOf(kTables, name);
}

const char* MotionName(MotionKind kind) {
    return NameOf(kMotions, kind);
}

std::optional<MotionKind> ParseMotionKind(std::string_view name) {
    return ValueOf(kMotions, name);
}

}  // namespace profile
