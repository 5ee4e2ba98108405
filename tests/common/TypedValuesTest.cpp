#include "tools/common/TypedValues.h"

#include <gtest/gtest.h>

#include <tuple>

using poll::DecodeValue;
using poll::EncodeValue;
using poll::ValueType;
using poll::WordOrder;
using Words = std::vector<std::uint16_t>;

// Each type and order from known register words, and back: the words a written text makes.
TEST(TypedValues, DecodesAndEncodesEachTypeAndOrder) {
    using T = ValueType;
    using O = WordOrder;
    const std::tuple<T, O, Words, std::string> cases[] = {
        {T::Uint16, O::Abcd, {0xFFFF}, "65535"},
        {T::Int16, O::Abcd, {0xFFFF}, "-1"},
        {T::Hex, O::Abcd, {0x1A2B}, "0x1a2b"},
        {T::Bin, O::Abcd, {0x8001}, "1000000000000001"},
        {T::Int32, O::Abcd, {0xFFFF, 0xFFFE}, "-2"},
        {T::Uint32, O::Abcd, {0x1234, 0x5678}, "305419896"},
        {T::Uint32, O::Badc, {0x3412, 0x7856}, "305419896"},
        {T::Uint32, O::Dcba, {0x7856, 0x3412}, "305419896"},
        {T::Float32, O::Abcd, {0x4060, 0x0000}, "3.5"},
        {T::Float32, O::Cdab, {0xCCCD, 0x3DCC}, "0.1"},
        {T::Float32, O::Abcd, {0x0000, 0x0001}, "1e-45"},
        {T::Float32, O::Abcd, {0x8000, 0x0000}, "-0"},
        {T::Float32, O::Abcd, {0x7F80, 0x0000}, "Infinity"},
        {T::Int64, O::Abcd, {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}, "-1"},
        {T::Uint64, O::Abcd, {0x1122, 0x3344, 0x5566, 0x7788}, "1234605616436508552"},
        {T::Uint64, O::Badc, {0x2211, 0x4433, 0x6655, 0x8877}, "1234605616436508552"},
        {T::Uint64, O::Dcba, {0x8877, 0x6655, 0x4433, 0x2211}, "1234605616436508552"},
        {T::Uint64, O::Abcd, {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}, "18446744073709551615"},
        {T::Float64, O::Abcd, {0x3FB9, 0x9999, 0x9999, 0x999A}, "0.1"},
        {T::Float64, O::Cdab, {0x0001, 0x0000, 0x0000, 0x0000}, "5e-324"},
        {T::String, O::Abcd, {0x4142, 0x4300}, "ABC"},
    };
    for (const auto& [type, order, words, text] : cases) {
        SCOPED_TRACE(std::string(poll::TypeName(type)) + " " + text);
        EXPECT_EQ(DecodeValue(type, order, words.data(), words.size()), text);
        EXPECT_EQ(EncodeValue(type, order, text), words);
    }
}

TEST(TypedValues, NanAndOddBytesPrintAsTextAndRefusalsGiveNothing) {
    const Words nan32 = {0x7FC0, 0x0000};
    EXPECT_EQ(DecodeValue(ValueType::Float32, WordOrder::Abcd, nan32.data(), 2), "NaN");
    const auto encoded = EncodeValue(ValueType::Float64, WordOrder::Abcd, "NaN");
    ASSERT_TRUE(encoded);
    EXPECT_EQ(DecodeValue(ValueType::Float64, WordOrder::Abcd, encoded->data(), 4), "NaN");
    EXPECT_FALSE(poll::IsJsonNumber(ValueType::Float64, "NaN"));
    // A terminal escape, a backslash and trailing NULs in the registers of a string.
    const Words odd = {0x1B5B, 0x5C01, 0x0000};
    EXPECT_EQ(DecodeValue(ValueType::String, WordOrder::Abcd, odd.data(), 3), "\\x1B[\\\\\\x01");
    const std::pair<ValueType, const char*> refused[] = {
        {ValueType::Float32, "1,5"},      {ValueType::Float32, "0x1p3"},
        {ValueType::Int32, "2147483648"}, {ValueType::Uint64, "18446744073709551616"},
        {ValueType::Hex, "0x10000"},      {ValueType::Uint16, ""},
        {ValueType::Float64, "infinity"},
    };
    for (const auto& [type, text] : refused) {
        EXPECT_FALSE(EncodeValue(type, WordOrder::Abcd, text)) << text;
    }
}
