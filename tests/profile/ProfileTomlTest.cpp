#include "tools/profile/ProfileToml.h"

#include <gtest/gtest.h>

#include <utility>

using profile::MotionKind;
using profile::ParseProfileToml;
using profile::PointTable;

namespace {

// One holding point 'v' at address 0 on line 1, its further keys from line 5.
std::string V(const std::string& keys) {
    return "[[point]]\nname = \"v\"\ntable = \"holding\"\naddress = 0\n" + keys;
}

std::string Error(const std::string& text) {
    std::string error;
    EXPECT_FALSE(ParseProfileToml(text, "t.toml", error)) << text;
    return error;
}

}  // namespace

TEST(ProfileToml, ReadsIdentityDeviceAndPoints) {
    const std::string text = R"([identity] # Quorvix Zürich
vendor = "Quorvix"
server_id = "EM-340 meter"
[device]
order = "cdab"
read_only_exception = 4
unit = 7
[[point]]
name = "volts"
table = "input"
address = 10
type = "float32"
unit = 'V ~ ±1 %'
initial = 230.0
motion = { kind = "sine", amplitude = 3.0, period = 10.0, offset = 230.0 }
[[point]]
name = "run"
table = "holding"
address = 0
bit = 0
writable = true
motion = { kind = "copy", of = "ready" }
[[point]]
name = "ready"
table = "holding"
address = 0
bit = 1
initial = true
[[point]]
name = "fw"
table = "input"
address = 0
type = "string"
length = 9
initial = "VX 3.02"
[[point]]
name = "door"
table = "discrete"
address = 10
)";
    std::string error;
    const auto loaded = ParseProfileToml(text, "t.toml", error);
    ASSERT_TRUE(loaded) << error;
    EXPECT_EQ(loaded->identity.vendor, "Quorvix");
    EXPECT_EQ(loaded->identity.serverId, "EM-340 meter");
    EXPECT_FALSE(loaded->identity.product);
    EXPECT_EQ(loaded->readOnlyException, protocol::kServerDeviceFailure);
    EXPECT_EQ(loaded->unit, 7);
    ASSERT_EQ(loaded->points.size(), 5u);
    const auto& volts = loaded->points[0];
    EXPECT_EQ(volts.table, PointTable::Input);
    EXPECT_EQ(volts.address, 10);
    EXPECT_EQ(volts.order, poll::WordOrder::Cdab);  // the device's
    EXPECT_EQ(volts.initial, "230");
    EXPECT_EQ(volts.unit, "V ~ \u00B11 %");
    EXPECT_EQ(volts.line, 8);
    EXPECT_EQ(volts.motion.kind, MotionKind::Sine);
    EXPECT_EQ(volts.motion.offset, 230.0);
    EXPECT_EQ(loaded->Find("run")->motion.source, "ready");
    EXPECT_TRUE(loaded->Find("run")->writable);
    EXPECT_EQ(loaded->Find("ready")->initial, "true");
    EXPECT_EQ(loaded->Find("fw")->Registers(), 5u);
    EXPECT_EQ(loaded->Find("door")->table, PointTable::DiscreteInput);
    EXPECT_EQ(loaded->Find("nothing"), nullptr);
}

TEST(ProfileToml, RefusesBadFilesWithTheLineAndReason) {
    const std::pair<std::string, std::string> cases[] = {
        {"a = 1\nb = = 2\n", "t.toml:2: "},
        {"[[,a]]\n", "t.toml:1: Error while parsing key: expected bare key"},
        {"a = \"\"\"x\"\"\"\"\" # \"\n\xC3\xA9 = 1\n",
         "t.toml:2: a character past ASCII outside a string or comment"},
        {"[devices]\n", "t.toml:1: unknown key 'devices'"},
        {"[device]\nunit = 0\n", "t.toml:2: unit must be 1 to 247"},
        {"[device]\nread_only_exception = 3\n", "t.toml:2: read_only_exception must be 2 or 4"},
        {"[identity]\nvendor = \"a\\tb\"\n", "t.toml:2: identity vendor: must be printable ASCII"},
        {"[identity]\nmodel_name = \"" + std::string(245, 'x') + "\"\n",
         "t.toml:2: identity model_name: must be 1 to 244 characters"},
        {"[identity]\nvendr = \"x\"\n", "t.toml:2: unknown key 'vendr' in [identity]"},
        {"[[point]]\ntable = \"coil\"\n", "t.toml:1: point without a name"},
        {"[[point]]\nname = \"v v\"\ntable = \"coil\"\naddress = 0\n",
         "t.toml:1: point name 'v v' may hold only letters, digits, '_', '.' and '-'"},
        {V("scael = 2\n"), "t.toml:5: point 'v': unknown key 'scael'"},
        {V("type = \"float\"\n"), "t.toml:5: point 'v': unknown type 'float' (uint16"},
        {V("type = \"hex\"\n"), "t.toml:5: point 'v': unknown type 'hex'"},
        {V("type = \"bool\"\n"), "point 'v': type 'bool' is for coil and discrete points"},
        {V("order = \"ABDC\"\n"), "t.toml:5: point 'v': unknown word order"},
        {"[[point]]\nname = \"v\"\ntable = \"holdings\"\naddress = 0\n",
         "t.toml:3: point 'v': unknown table (coil discrete holding input)"},
        {"[[point]]\nname = \"v\"\ntable = \"coil\"\n", "t.toml:1: point 'v': no address"},
        {"[[point]]\nname = \"v\"\ntable = \"coil\"\naddress = 65536\n",
         "t.toml:4: point 'v': address must be an integer 0 to 65535"},
        {"[[point]]\nname = \"v\"\ntable = \"coil\"\naddress = 1.0\n",
         "t.toml:4: point 'v': address must be an integer 0 to 65535"},
        {"[[point]]\nname = \"v\"\ntable = \"input\"\naddress = 65534\ntype = \"float64\"\n",
         "t.toml:1: point 'v': runs past address 65535"},
        {V("") + V(""), "t.toml:5: point 'v': duplicate name, first on line 1"},
        {V("type = \"string\"\n"), "t.toml:1: point 'v': a string needs a length of 1 to 250"},
        {V("type = \"string\"\nlength = 300\n"), "a string needs a length of 1 to 250"},
        {V("type = \"string\"\nlength = 4\ninitial = \"ABCDEF\"\n"),
         "t.toml:1: point 'v': initial value 'ABCDEF' does not fit 4 characters"},
        {V("initial = 70000\n"), "point 'v': initial value 70000 is out of range 0 to 65535"},
        {V("type = \"int16\"\nscale = 0.1\ninitial = 4000\n"),
         "initial value 4000 is out of range -3276.8 to 3276.7"},
        {"[[point]]\nname = \"v\"\ntable = \"input\"\naddress = 0\nwritable = true\n",
         "t.toml:1: point 'v': an input register cannot be writable"},
        {"[[point]]\nname = \"v\"\ntable = \"discrete\"\naddress = 0\nwritable = true\n",
         "point 'v': a discrete input cannot be writable"},
        {"[[point]]\nname = \"v\"\ntable = \"coil\"\naddress = 0\nbit = 2\n",
         "point 'v': bit fields are for registers, not coil points"},
        {V("bit = 14\nwidth = 4\n"), "point 'v': bit 14 + width 4 is past 16"},
        {V("bit = 16\n"), "t.toml:5: point 'v': bit must be an integer 0 to 15"},
        {V("scale = 0\n"), "point 'v': scale 0 and offset 0 must be finite, scale not 0"},
        {V("motion = { kind = \"wave\" }\n"), "t.toml:5: point 'v': motion kind must be one of"},
        {V("motion = { kind = \"sine\", amplitude = 1, step = 2 }\n"),
         "t.toml:5: point 'v': unknown key 'step' in a sine motion"},
        {V("motion = { kind = \"sine\", amplitude = 1, period = 0 }\n"),
         "point 'v': sine period 0 is not above 0"},
        {V("motion = { kind = \"sine\", amplitude = 10, offset = 5 }\n"),
         "point 'v': sine low: -5 is out of range 0 to 65535"},
        {V("motion = { kind = \"random\", min = 5, max = 3 }\n"),
         "point 'v': random min 5 is above max 3"},
        {V("motion = { kind = \"random\", min = 0, max = 70000 }\n"),
         "point 'v': random max: 70000 is out of range 0 to 65535"},
        {V("motion = { kind = \"random\", min = 0 }\n"), "a random motion needs min and max"},
        {V("motion = { kind = \"increment\", step = 0 }\n"), "increment step 0 moves nothing"},
        {V("motion = { kind = \"copy\", of = \"w\" }\n"), "point 'v': copy of unknown point 'w'"},
        {V("motion = { kind = \"copy\", of = \"v\" }\n"), "point 'v': copies itself"},
        {V("type = \"string\"\nlength = 2\nmotion = { kind = \"toggle\" }\n"),
         "point 'v': toggle motion on a string: only copy is possible"},
        {V("type = \"uint32\"\n") + "[[point]]\nname = \"w\"\ntable = \"holding\"\naddress = 1\n",
         "t.toml:6: point 'w': overlaps 'v' (line 1)"},
        {V("bit = 0\nwidth = 2\n") +
             "[[point]]\nname = \"w\"\ntable = \"holding\"\naddress = 0\nbit = 1\n",
         "t.toml:7: point 'w': overlaps 'v' (line 1)"},
        {V("bit = 4\n") + "[[point]]\nname = \"w\"\ntable = \"holding\"\naddress = 0\n",
         "t.toml:6: point 'w': overlaps 'v' (line 1)"},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_NE(Error(text).find(expected), std::string::npos)
            << "got: " << Error(text) << "\nwanted: " << expected;
    }
}

TEST(ProfileToml, SharesRegistersAndAddressesOnlyWhereAllowed) {
    // Disjoint bit fields of one register, and one address in each of the four tables.
    const std::string text = V("bit = 0\nwidth = 3\n") +
                             "[[point]]\nname = \"w\"\ntable = \"holding\"\naddress = 0\nbit = 3\n"
                             "[[point]]\nname = \"i\"\ntable = \"input\"\naddress = 0\n"
                             "[[point]]\nname = \"c\"\ntable = \"coil\"\naddress = 0\n"
                             "[[point]]\nname = \"d\"\ntable = \"discrete\"\naddress = 0\n";
    std::string error;
    EXPECT_TRUE(ParseProfileToml(text, "t.toml", error)) << error;
}

TEST(ProfileToml, TakesAtMost65536Points) {
    std::string text = "point = [\n";
    for (int i = 0; i <= 65536; ++i) {
        text += "{name=\"p" + std::to_string(i) +
                "\",table=\"coil\",address=" + std::to_string(i % 65536) + "},\n";
    }
    text += "]\n";
    EXPECT_EQ(Error(text), "t.toml:65538: more than 65536 points");
}
