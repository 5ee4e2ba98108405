// A unit served from its profile: the addresses its points cover and no others, writes as
// their writable flags say, bit fields sharing a register, and points moving with the time.

#include <gtest/gtest.h>

#include "tools/profile/ProfileToml.h"
#include "tools/slave/ProfileModel.h"

namespace slave {
namespace {

using protocol::Table;

const char kProfile[] = R"(
[device]
read_only_exception = 4
[[point]]
name = "count"
table = "holding"
address = 10
type = "uint32"
writable = true
initial = 5
motion = { kind = "increment", step = 2, period = 1 }
[[point]]
name = "twice"
table = "holding"
address = 12
type = "uint32"
motion = { kind = "copy", of = "count" }
[[point]]
name = "run"
table = "holding"
address = 20
bit = 0
writable = true
[[point]]
name = "speed"
table = "holding"
address = 20
bit = 8
width = 8
writable = true
initial = 3
[[point]]
name = "blink"
table = "coil"
address = 0
type = "bool"
writable = true
motion = { kind = "toggle", period = 0.5 }
[[point]]
name = "level"
table = "input"
address = 0
type = "float32"
scale = 0.5
unit = "m"
initial = 1.5
)";

class ProfileModelTest : public ::testing::Test {
protected:
    ProfileModelTest() : m_model(Load(), SlaveOptions{}, protocol::DeviceIdentity{}, 1) {}
    static profile::DeviceProfile Load() {
        std::string error;
        auto loaded = profile::ParseProfileToml(kProfile, "unit.toml", error);
        EXPECT_TRUE(loaded) << error;
        return loaded.value_or(profile::DeviceProfile{});
    }
    protocol::Words Read(Table table, std::uint16_t start, std::uint16_t count) {
        protocol::Words values;
        EXPECT_EQ(m_model.ReadRegisters(table, start, count, values), protocol::kNoException);
        return values;
    }
    CProfileModel m_model;
};

TEST_F(ProfileModelTest, OnlyCoveredAddressesExistAndWritesFollowTheFlags) {
    protocol::Words values;
    protocol::Bytes bits;
    const struct {
        std::uint8_t got;
        std::uint8_t wanted;
        const char* what;
    } cases[] = {
        {m_model.ReadRegisters(Table::HoldingRegisters, 10, 4, values), protocol::kNoException,
         "two whole points"},
        {m_model.ReadRegisters(Table::HoldingRegisters, 9, 2, values),
         protocol::kIllegalDataAddress, "a hole before"},
        {m_model.ReadRegisters(Table::HoldingRegisters, 13, 2, values),
         protocol::kIllegalDataAddress, "a hole after"},
        {m_model.ReadRegisters(Table::InputRegisters, 10, 1, values), protocol::kIllegalDataAddress,
         "another table"},
        {m_model.WriteRegisters(12, {0, 1}), protocol::kServerDeviceFailure, "read-only"},
        {m_model.WriteRegisters(10, {0, 1, 0, 1}), protocol::kServerDeviceFailure,
         "partly read-only, nothing written"},
        {m_model.ReadBits(Table::Coils, 0, 2, bits), protocol::kIllegalDataAddress,
         "one coil only"},
        {m_model.WriteRegisters(20, {0x0701}), protocol::kNoException, "bit fields"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.got, c.wanted) << c.what;
    }
    EXPECT_EQ(Read(Table::HoldingRegisters, 10, 2), (protocol::Words{0, 5}));
    EXPECT_EQ(m_model.Get("run"), "1");
    EXPECT_EQ(m_model.Get("speed"), "7");
    EXPECT_EQ(m_model.Get("level"), "1.5 m");
    EXPECT_EQ(m_model.Set("speed", "9"), "");
    EXPECT_EQ(Read(Table::HoldingRegisters, 20, 1), (protocol::Words{0x0901}));
}

TEST_F(ProfileModelTest, PointsMoveWithTheTimeAndAStuckOneHolds) {
    m_model.SetElapsed(999);
    EXPECT_EQ(Read(Table::HoldingRegisters, 10, 4), (protocol::Words{0, 5, 0, 5}));
    m_model.SetElapsed(3000);
    EXPECT_EQ(Read(Table::HoldingRegisters, 10, 4), (protocol::Words{0, 11, 0, 11}));
    // A written counter goes on from what was written.
    ASSERT_EQ(m_model.WriteRegisters(10, {0, 100}), protocol::kNoException);
    m_model.SetElapsed(4000);
    EXPECT_EQ(m_model.Get("count"), "102");

    protocol::Bytes bits;
    m_model.SetElapsed(4500);
    ASSERT_EQ(m_model.ReadBits(Table::Coils, 0, 1, bits), protocol::kNoException);
    const std::uint8_t before = bits[0];
    m_model.SetElapsed(5000);
    ASSERT_EQ(m_model.ReadBits(Table::Coils, 0, 1, bits), protocol::kNoException);
    EXPECT_NE(bits[0], before);

    // Held from 5 s to 9 s, writes ignored; then on by one step a second, from where it was.
    EXPECT_EQ(m_model.Get("count"), "104");
    ASSERT_TRUE(m_model.Stick("count"));
    ASSERT_EQ(m_model.WriteRegisters(10, {0, 1}), protocol::kNoException);
    m_model.SetElapsed(9000);
    EXPECT_EQ(m_model.Get("count"), "104");
    m_model.UnstickAll();
    m_model.SetElapsed(10000);
    EXPECT_EQ(m_model.Get("count"), "106");
    EXPECT_FALSE(m_model.Stick("nothing"));
}

}  // namespace
}  // namespace slave
