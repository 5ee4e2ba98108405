#include "tools/profile/RegisterList.h"

#include <gtest/gtest.h>

#include <chrono>
#include <utility>

using profile::ParseRegisterList;
using profile::PointTable;

TEST(RegisterList, ReadsQuotedFieldsAnyColumnOrderAndSemicolons) {
    const std::string text =
        "\xEF\xBB\xBF# exported from the vendor's tool\r\n"
        "Address;NAME;Table;Type;Scale;Unit;Writable;Order;Length\r\n"
        "\r\n"
        "0x10; \"volts\" ;input;float32;1;\"V; \"\"rms\"\"\";no;CDAB;\r\n"
        "3;setpoint;Holding;uint16;0,1;Hz;RW;;\r\n"
        "4;name;holding;string;;;;;6\r\n"
        "0;alarm;coil;;;;yes;;\r\n";
    std::string error;
    const auto loaded = ParseRegisterList(text, "t.csv", error);
    ASSERT_TRUE(loaded) << error;
    ASSERT_EQ(loaded->points.size(), 4u);
    const auto& volts = loaded->points[0];
    EXPECT_EQ(volts.name, "volts");
    EXPECT_EQ(volts.address, 0x10);
    EXPECT_EQ(volts.unit, "V; \"rms\"");
    EXPECT_EQ(volts.order, poll::WordOrder::Cdab);
    EXPECT_EQ(volts.line, 4);
    EXPECT_FALSE(volts.writable);
    EXPECT_TRUE(loaded->points[1].writable);
    EXPECT_EQ(loaded->points[2].Registers(), 3u);
    EXPECT_EQ(loaded->points[3].table, PointTable::Coil);
    EXPECT_EQ(loaded->points[3].type, poll::ValueType::Uint16);  // a coil's bool
}

TEST(RegisterList, RefusesBadListsWithTheLineAndReason) {
    const std::pair<std::string, std::string> cases[] = {
        {"# nothing\n", "t.csv: no header line naming the columns"},
        {"name,table\n", "t.csv:1: no 'address' column"},
        {"name,table,address,colour\n", "t.csv:1: unknown column 'colour' (name"},
        {"name,table,address,Name\n", "t.csv:1: column 'name' appears twice"},
        {"name,table,address\nv,holding\n", "t.csv:2: 2 fields where the header names 3"},
        {"name,table,address\n\"v,holding,0\n", "t.csv:2: unterminated quote in field 1"},
        {"name,table,address\n\"v\"x,holding,0\n", "text after the closing quote of field 1"},
        {"name,table,address\n\"v\x1B[2J\",holding,0\n",
         "t.csv:2: point name 'v\\x1B[2J' may hold only letters"},
        {"name,table,address\nv,holding,-1\n",
         "t.csv:2: point 'v': address '-1' must be an integer 0 to 65535"},
        {"name,table,address,writable\nv,input,0,maybe\n",
         "t.csv:2: point 'v': writable 'maybe' must be yes or no"},
        {"name,table,address,writable\nv,input,0,yes\n", "an input register cannot be writable"},
        {"name,table,address,scale\nv,holding,0,x\n", "point 'v': scale 'x' is not a number"},
        {"name,table,address,type\nv,coil,0,float32\n", "a coil point is bool, not 'float32'"},
        {"name,table,address,unit\nv,holding,0,\"\x1B[2J\"\n",
         "point 'v': the unit holds a control character"},
        {"name,table,address\nv,holding,0\nv,input,0\n",
         "t.csv:3: point 'v': duplicate name, first on line 2"},
        {"name,table,address,type\nv,holding,0,int32\nw,holding,1,uint16\n",
         "t.csv:3: point 'w': overlaps 'v' (line 2)"},
    };
    for (const auto& [text, expected] : cases) {
        std::string error;
        EXPECT_FALSE(ParseRegisterList(text, "t.csv", error)) << text;
        EXPECT_NE(error.find(expected), std::string::npos) << error;
    }
}

// Every coil address once loads, quickly; one point more is refused at its line.
TEST(RegisterList, TakesAtMost65536Points) {
    std::string text = "name,table,address\n";
    for (int i = 0; i < 65536; ++i) {
        text += "p" + std::to_string(i) + ",coil," + std::to_string(65535 - i) + "\n";
    }
    std::string error;
    const auto start = std::chrono::steady_clock::now();
    const auto loaded = ParseRegisterList(text, "t.csv", error);
    ASSERT_TRUE(loaded) << error;
    EXPECT_EQ(loaded->points.size(), 65536u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    text += "extra,holding,0\n";
    EXPECT_FALSE(ParseRegisterList(text, "t.csv", error));
    EXPECT_EQ(error, "t.csv:65538: more than 65536 points");
}
