#include "tools/profile/PointValue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "tools/profile/NumberText.h"

using poll::ValueType;
using poll::WordOrder;
using profile::Point;
using profile::PointTable;
using Words = protocol::Words;

namespace {

Point Make(ValueType type, WordOrder order, double scale = 1, double offset = 0) {
    Point point;
    point.name = "p";
    point.type = type;
    point.order = order;
    point.scale = scale;
    point.offset = offset;
    return point;
}

}  // namespace

// Words worked out by hand from the IEEE and two's-complement bits, then read back.
TEST(PointValue, EncodesAndDecodesEachTypeOrderAndScale) {
    using T = ValueType;
    using O = WordOrder;
    Point text = Make(T::String, O::Abcd);
    text.length = 5;
    Point field = Make(T::Uint16, O::Abcd);
    field.bit = 3;
    field.width = 2;
    Point coil = Make(T::Uint16, O::Abcd);
    coil.table = PointTable::Coil;
    const std::tuple<Point, std::string, Words, std::string> cases[] = {
        {Make(T::Float32, O::Abcd), "230.5", {0x4366, 0x8000}, "230.5"},
        {Make(T::Float32, O::Cdab), "230.5", {0x8000, 0x4366}, "230.5"},
        {Make(T::Float32, O::Abcd, 0.1), "230.5", {0x4510, 0x1000}, "230.5"},
        {Make(T::Int32, O::Dcba), "-2", {0xFEFF, 0xFFFF}, "-2"},
        {Make(T::Uint32, O::Abcd, 0.1), "230.5", {0x0000, 0x0901}, "230.5"},
        {Make(T::Uint32, O::Cdab, 0.1), "230.54", {0x0901, 0x0000}, "230.5"},
        {Make(T::Int16, O::Abcd, 0.1, -40), "-12.5", {0x0113}, "-12.5"},
        {Make(T::Uint16, O::Abcd), "230.0", {230}, "230"},
        {Make(T::Uint64, O::Abcd),
         "1234605616436508552",
         {0x1122, 0x3344, 0x5566, 0x7788},
         "1234605616436508552"},
        {Make(T::Uint64, O::Abcd),
         "18446744073709551615",
         {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF},
         "18446744073709551615"},
        {text, "EM-34", {0x454D, 0x2D33, 0x3400}, "EM-34"},
        {text, "EM", {0x454D, 0x0000, 0x0000}, "EM"},
        {field, "2", {0x0002}, "2"},
        {field, "true", {0x0001}, "1"},
        {coil, "on", {0x0001}, "true"},
        {coil, "0", {0x0000}, "false"},
    };
    for (const auto& [point, engineering, words, shown] : cases) {
        SCOPED_TRACE(engineering);
        std::string why;
        EXPECT_EQ(profile::EncodePoint(point, engineering, why), words) << why;
        // A bit field reads its field out of the whole register.
        const Words reg =
            point.IsBitField() ? Words{profile::InsertBits(point, 0xFFFF, words[0])} : words;
        const auto reading = profile::DecodePoint(point, reg.data());
        EXPECT_EQ(reading.text, shown);
        if (point.IsBit()) {
            EXPECT_EQ(reading.number, shown == "true" ? 1 : 0);
        } else if (point.type != T::String) {
            EXPECT_EQ(reading.number, profile::ParseNumber(shown).value_or(-1));
        }
    }
}

TEST(PointValue, BitFieldsSitInTheirBitsOnly) {
    Point field = Make(ValueType::Uint16, WordOrder::Abcd);
    field.bit = 3;
    field.width = 2;
    EXPECT_EQ(profile::InsertBits(field, 0xFFFF, 0), 0xFFE7);
    EXPECT_EQ(profile::InsertBits(field, 0x0000, 7), 0x0018);  // the field's two bits only
    EXPECT_EQ(profile::ExtractBits(field, 0x0010), 2);
    const Words odd = {0x4142, 0x43FF};  // the byte past an odd length is not shown
    Point text = Make(ValueType::String, WordOrder::Abcd);
    text.length = 3;
    const auto reading = profile::DecodePoint(text, odd.data());
    EXPECT_EQ(reading.text, "ABC");
    EXPECT_TRUE(std::isnan(reading.number));
}

TEST(PointValue, RefusesWhatDoesNotParseOrFit) {
    Point text = Make(ValueType::String, WordOrder::Abcd);
    text.length = 4;
    Point field = Make(ValueType::Uint16, WordOrder::Abcd);
    field.bit = 0;
    field.width = 2;
    Point coil = Make(ValueType::Uint16, WordOrder::Abcd);
    coil.table = PointTable::DiscreteInput;
    const std::tuple<Point, std::string, std::string> cases[] = {
        {Make(ValueType::Uint16, WordOrder::Abcd), "70000", "70000 is out of range 0 to 65535"},
        {Make(ValueType::Uint16, WordOrder::Abcd, 0.1), "7000", "7000 is out of range 0 to 6553.5"},
        {Make(ValueType::Int64, WordOrder::Abcd, 2), "1e20",
         "1e+20 is out of range -18446744073709551616 to 18446744073709551616"},
        {Make(ValueType::Float32, WordOrder::Abcd, 0.5), "1e39",
         "1e+39 is out of range for float32"},
        {Make(ValueType::Int32, WordOrder::Abcd), "abc", "'abc' is not a number"},
        {text, "TOOLONG", "'TOOLONG' does not fit 4 characters"},
        {field, "4", "4 is out of range 0 to 3"},
        {coil, "maybe", "'maybe' is not true or false"},
    };
    for (const auto& [point, engineering, reason] : cases) {
        std::string why;
        EXPECT_FALSE(profile::EncodePoint(point, engineering, why)) << engineering;
        EXPECT_EQ(why, reason);
    }
}
