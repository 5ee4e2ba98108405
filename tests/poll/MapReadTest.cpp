// A map's points read in the fewest requests the limits allow, a refused range split once,
// and writes by name grouped by neighbours, against a simulated unit in-process.

#include <gtest/gtest.h>

#include "ProfileMaster.h"
#include "tools/poll/MapPlan.h"
#include "tools/poll/MapReader.h"
#include "tools/poll/MapWrite.h"

namespace {

using profile::Point;
using profile::PointTable;

Point At(PointTable table, std::uint16_t address, poll::ValueType type = poll::ValueType::Uint16,
         int bit = -1) {
    Point point;
    point.name = std::string(profile::TableName(table)) + std::to_string(address) +
                 (bit >= 0 ? "." + std::to_string(bit) : "");
    point.table = table;
    point.address = address;
    point.type = type;
    point.bit = bit;
    return point;
}

std::string Plan(const std::vector<Point>& points, std::uint16_t maxGap) {
    std::vector<const Point*> named;
    for (const Point& point : points) {
        named.push_back(&point);
    }
    std::string plan;
    for (const poll::MapRequest& request : poll::JoinReads(named, maxGap)) {
        plan += (plan.empty() ? "" : " ") + std::to_string(poll::ReadFunction(request.table)) +
                ":" + std::to_string(request.address) + "+" + std::to_string(request.count);
    }
    return plan;
}

}  // namespace

TEST(MapPlan, JoinsWithinTheGapAndTheLimitPerTable) {
    using poll::ValueType;
    const PointTable H = PointTable::Holding, I = PointTable::Input, C = PointTable::Coil;
    const struct {
        std::vector<Point> points;
        std::uint16_t maxGap;
        std::string plan;  // function:address+count of each read
    } cases[] = {
        // Neighbours join even at gap 0; one register more between them needs gap 1.
        {{At(H, 0), At(H, 1), At(H, 3)}, 0, "3:0+2 3:3+1"},
        {{At(H, 0), At(H, 1), At(H, 3)}, 1, "3:0+4"},
        // A float spans two registers: its end, not its start, is where the gap counts from.
        {{At(H, 0, ValueType::Float32), At(H, 10, ValueType::Float32)}, 8, "3:0+12"},
        {{At(H, 0, ValueType::Float32), At(H, 11, ValueType::Float32)}, 8, "3:0+2 3:11+2"},
        // Named out of order; tables never join, whatever their addresses.
        {{At(I, 5), At(H, 4), At(I, 0), At(H, 0)}, 8, "3:0+5 4:0+6"},
        // 125 registers a read: the 126th starts the next one.
        {{At(H, 0), At(H, 124)}, 125, "3:0+125"},
        {{At(H, 0), At(H, 125)}, 125, "3:0+1 3:125+1"},
        {{At(H, 0, ValueType::Float64), At(H, 121, ValueType::Float64)}, 125, "3:0+125"},
        {{At(H, 0, ValueType::Float64), At(H, 122, ValueType::Float64)}, 125, "3:0+4 3:122+4"},
        // Bits: 2000 a read.
        {{At(C, 0), At(C, 1999)}, 125, "1:0+1 1:1999+1"},
        {{At(C, 0), At(C, 100), At(C, 160)}, 59, "1:0+1 1:100+61"},
        // Bit fields of one register share it.
        {{At(H, 7, ValueType::Uint16, 0), At(H, 7, ValueType::Uint16, 4), At(H, 8)}, 0, "3:7+2"},
        {{At(H, 65534, ValueType::Uint16), At(H, 65535)}, 0, "3:65534+2"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Plan(c.points, c.maxGap), c.plan) << c.plan;
    }
}

namespace {

// Registers 0 to 3 and 8 to 9 exist; 4 to 7 are a hole the poller's map does not know of.
const char kUnit[] = R"(
[[point]]
name = "a"
table = "holding"
address = 0
type = "float32"
writable = true
initial = 1.5
[[point]]
name = "b"
table = "holding"
address = 2
type = "int16"
scale = 0.1
writable = true
initial = -12.5
[[point]]
name = "run"
table = "holding"
address = 3
bit = 0
writable = true
[[point]]
name = "mode"
table = "holding"
address = 3
bit = 4
width = 4
writable = true
initial = 9
[[point]]
name = "c"
table = "holding"
address = 8
type = "uint32"
order = "CDAB"
unit = "Wh"
initial = 70000
[[point]]
name = "on"
table = "coil"
address = 5
type = "bool"
writable = true
[[point]]
name = "on2"
table = "coil"
address = 6
type = "bool"
writable = true
)";

std::vector<const Point*> All(const profile::DeviceProfile& profile) {
    std::vector<const Point*> points;
    for (const Point& point : profile.points) {
        points.push_back(&point);
    }
    return points;
}

std::string Values(const poll::MapPoll& poll) {
    std::string text;
    for (const poll::PointRecord& r : poll.points) {
        text +=
            (text.empty() ? "" : " ") + r.point->name + "=" + (r.value.empty() ? r.text : r.value);
    }
    return text;
}

}  // namespace

TEST(MapReader, RefusedRangeIsSplitOnceAndStaysSplit) {
    CProfileMaster master(kUnit);
    const profile::DeviceProfile& profile = master.Model().Profile();
    poll::CMapReader reader(All(profile), 8, 0);
    const std::string values = "a=1.5 b=-12.5 run=0 mode=9 c=70000 on=false on2=false";
    const poll::MapPoll first = reader.Read(master, 1);
    EXPECT_EQ(Values(first), values);
    EXPECT_EQ(first.splits, (std::vector<std::string>{
                                "slave 1: function 3 from 0, 10 registers: a b run mode c: refused "
                                "as an illegal data address; these points are read one by one "
                                "from now on"}));
    EXPECT_EQ(first.results.size(), 5u);  // the refusal is no failure
    // The joined read of 0 to 9 is refused for the hole; its points are read one by one.
    EXPECT_EQ(master.requests,
              (std::vector<std::string>{"1 5 2", "3 0 10", "3 0 2", "3 2 1", "3 3 1", "3 8 2"}));
    master.requests.clear();
    const poll::MapPoll second = reader.Read(master, 1);
    EXPECT_EQ(Values(second), values);
    EXPECT_TRUE(second.splits.empty());
    EXPECT_EQ(master.requests,
              (std::vector<std::string>{"1 5 2", "3 0 2", "3 2 1", "3 3 1", "3 8 2"}));
    // Another slave keeps its own plan.
    EXPECT_EQ(reader.Plan(2).size(), 2u);
}

TEST(MapReader, AFailedReadCarriesItsFailureToEachPoint) {
    CProfileMaster master(kUnit);
    const profile::DeviceProfile& profile = master.Model().Profile();
    // Only c, named alone, and a coil past the unit's: exception 2 for a single read is kept.
    Point missing = At(PointTable::Coil, 40);
    poll::CMapReader reader({profile.Find("c"), &missing}, 8, 0);
    const poll::MapPoll poll = reader.Read(master, 1);
    EXPECT_EQ(Values(poll), "c=70000 coil40=Slave Device Return an Exception Code 2");
    EXPECT_EQ(poll.results, (std::vector<std::uint16_t>{kModbusException + 2, kModbusOk}));
}

TEST(MapWrite, WritesNeighboursInOneRequestAndKeepsOtherBits) {
    const struct {
        std::string set;
        bool multiple;
        std::vector<std::string> requests;
        std::string after;  // the unit's values read back
    } cases[] = {
        {"b=-3.2", false, {"6 2 65504"}, "a=1.5 b=-3.2 run=0 mode=9"},
        {"b=-3.2", true, {"16 2 1"}, "a=1.5 b=-3.2 run=0 mode=9"},
        // a and b neighbour: one 16; the bit field's register read first, then joined on.
        {"a=-2,run=1,b=7", false, {"3 3 1", "16 0 4"}, "a=-2 b=7 run=1 mode=9"},
        {"mode=15,run=on", false, {"3 3 1", "6 3 241"}, "a=1.5 b=-12.5 run=1 mode=15"},
        {"on=1", false, {"5 5 65280"}, "on=true on2=false"},
        {"on2=true,on=true", false, {"15 5 2"}, "on=true on2=true"},
    };
    for (const auto& c : cases) {
        CProfileMaster master(kUnit);
        const profile::DeviceProfile& profile = master.Model().Profile();
        std::string why;
        const auto writes = poll::ParseSetList(profile, c.set, why);
        ASSERT_TRUE(writes) << why;
        for (const poll::PointRecord& r : poll::WritePoints(master, 1, *writes, c.multiple, 0)) {
            EXPECT_EQ(r.text, "OK") << c.set << " " << r.point->name;
        }
        EXPECT_EQ(master.requests, c.requests) << c.set;
        std::vector<const Point*> points;
        for (const std::string name : {"a", "b", "run", "mode", "on", "on2"}) {
            if (c.after.find(name + "=") == 0 ||
                c.after.find(" " + name + "=") != std::string::npos)
                points.push_back(profile.Find(name));
        }
        EXPECT_EQ(Values(poll::CMapReader(points, 0, 0).Read(master, 1)), c.after) << c.set;
    }
}

TEST(MapWrite, RefusesWhatCannotBeWritten) {
    CProfileMaster master(kUnit);
    const profile::DeviceProfile& profile = master.Model().Profile();
    const std::pair<std::string, std::string> cases[] = {
        {"c=1", "--set: point 'c' is not writable"},
        {"x=1", "--set: no point 'x' in unit.toml"},
        {"b=4000", "--set: b=4000: "},
        {"mode=16", "--set: mode=16: "},
        {"run=maybe", "--set: run=maybe: "},
        {"a=1,a=2", "--set: point 'a' is set twice"},
        {"=1", "--set: no point name before '=' in '=1'"},
        {"a", "--set: 'a' is no NAME=VALUE"},
    };
    for (const auto& [set, reason] : cases) {
        std::string why;
        EXPECT_FALSE(poll::ParseSetList(profile, set, why)) << set;
        EXPECT_EQ(why.substr(0, reason.size()), reason) << why;
    }
    EXPECT_TRUE(master.requests.empty());
}
