#include "tools/slave/SlaveOptions.h"

#include <gtest/gtest.h>

#include "tools/slave/MasterSettings.h"

namespace slave {
namespace {

using Action = ParseResult::Action;
using namespace std::chrono_literals;

TEST(SlaveOptions, DefaultsDescribeAnRtuSlaveOneAt9600) {
    const ParseResult r = ParseSlaveOptions({});
    ASSERT_EQ(r.action, Action::Run);
    const SlaveOptions& o = r.options;
    EXPECT_EQ(o.mode, Framing::Rtu);
    EXPECT_EQ(o.ids, std::vector<int>{1});
    EXPECT_EQ(o.baud, 9600);
    EXPECT_EQ(o.parity, Parity::None);
    EXPECT_EQ(o.dataBits, 8);
    EXPECT_EQ(o.stopBits, 1);
    EXPECT_EQ(o.size, 10000);
    EXPECT_EQ(o.fifoSize, 8);
    EXPECT_EQ(o.fifoAddress, 0);
    EXPECT_EQ(o.files, 4);
    EXPECT_EQ(o.records, 10000);
    EXPECT_FALSE(o.silent || o.wrongId || o.log);
    EXPECT_EQ(o.delayMs, 0);
    EXPECT_EQ(o.corruptEvery, 0);
    EXPECT_TRUE(o.device.empty());
    EXPECT_TRUE(o.link.empty());
    EXPECT_EQ(LineText(o), "9600 8N1");
}

TEST(SlaveOptions, EveryOptionIsTaken) {
    const ParseResult r = ParseSlaveOptions({"--mode",        "ascii",       "--id=17",
                                             "--baud",        "19200",       "--parity",
                                             "even",          "--data-bits", "7",
                                             "--stop-bits=2", "--size",      "65536",
                                             "--silent",      "--delay",     "250",
                                             "--corrupt",     "3",           "--wrong-id",
                                             "--log",         "--device",    "/dev/ttyUSB0",
                                             "--link=/tmp/x", "--tap",       "/tmp/t"});
    ASSERT_EQ(r.action, Action::Run) << r.error;
    const SlaveOptions& o = r.options;
    EXPECT_EQ(o.mode, Framing::Ascii);
    EXPECT_EQ(o.ids, std::vector<int>{17});
    EXPECT_EQ(o.baud, 19200);
    EXPECT_EQ(o.parity, Parity::Even);
    EXPECT_EQ(o.dataBits, 7);
    EXPECT_EQ(o.stopBits, 2);
    EXPECT_EQ(o.size, 65536);
    EXPECT_TRUE(o.silent);
    EXPECT_EQ(o.delayMs, 250);
    EXPECT_EQ(o.corruptEvery, 3);
    EXPECT_TRUE(o.wrongId);
    EXPECT_TRUE(o.log);
    EXPECT_EQ(o.device, "/dev/ttyUSB0");
    EXPECT_EQ(o.link, "/tmp/x");
    EXPECT_EQ(o.tap, "/tmp/t");
    EXPECT_EQ(LineText(o), "19200 7E2");
    EXPECT_EQ(AnswerAddress(o, 17, false), 18);
    EXPECT_TRUE(o.line);
    EXPECT_TRUE(o.ports.empty());
    EXPECT_EQ(o.bindAddress, "127.0.0.1");

    const SlaveOptions data = ParseSlaveOptions({"--fifo-size", "31", "--fifo-address=1246",
                                                 "--files", "64", "--records", "1"})
                                  .options;
    EXPECT_EQ(data.fifoSize, 31);
    EXPECT_EQ(data.fifoAddress, 1246);
    EXPECT_EQ(data.files, 64);
    EXPECT_EQ(data.records, 1);
    EXPECT_EQ(ParseSlaveOptions({"--fifo-size", "0", "--files", "0", "--records", "10000"}).action,
              Action::Run);

    const SlaveOptions net = ParseSlaveOptions({"--udp=502", "--bind", "::"}).options;
    ASSERT_EQ(net.ports.size(), 1u);
    EXPECT_EQ(net.ports[0].transport, Transport::Udp);
    EXPECT_EQ(net.ports[0].port, 502);
    EXPECT_FALSE(net.line);
    EXPECT_EQ(net.bindAddress, "::");
}

TEST(SlaveOptions, PortsAddUpAndTheLineStaysWhenAskedFor) {
    struct Case {
        std::vector<std::string> args;
        bool line;
        std::size_t ports;
    };
    const Case cases[] = {
        {{"--tcp", "0", "--udp", "0", "--rtu-tcp", "0"}, false, 3},
        {{"--tcp", "0", "--pty"}, true, 1},
        {{"--device", "/dev/ttyS0", "--rtu-tcp", "5020"}, true, 1},
        {{"--udp", "0", "--tap", "/tmp/t"}, true, 1},
    };
    for (const Case& c : cases) {
        const ParseResult r = ParseSlaveOptions(c.args);
        ASSERT_EQ(r.action, Action::Run) << c.args.front() << ": " << r.error;
        EXPECT_EQ(r.options.line, c.line) << c.args.front();
        EXPECT_EQ(r.options.ports.size(), c.ports) << c.args.front();
    }
    // Beside a file's ports and line, a port given again replaces the file's.
    SlaveOptions file;
    file.ports = {{Transport::Tcp, 1502}, {Transport::Udp, 1502}};
    const SlaveOptions o = ParseSlaveOptions({"--tcp", "1600"}, file).options;
    EXPECT_TRUE(o.line);
    ASSERT_NE(FindPort(o, Transport::Tcp), nullptr);
    EXPECT_EQ(FindPort(o, Transport::Tcp)->port, 1600);
    EXPECT_EQ(FindPort(o, Transport::Udp)->port, 1502);

    const ParseResult send = ParseSlaveOptions({"--send", "/tmp/s", "get", "1", "volts"});
    EXPECT_EQ(send.action, Action::Send);
    EXPECT_EQ(send.sendPath, "/tmp/s");
    EXPECT_EQ(send.sendCommand, "get 1 volts");
}

TEST(SlaveOptions, IdTakesListsAndRangesInTheOrderGiven) {
    const std::pair<const char*, std::vector<int>> cases[] = {
        {"3,17,200", {3, 17, 200}}, {"5-7,2", {5, 6, 7, 2}}, {"9,9,8-9", {9, 8}}};
    for (const auto& [text, ids] : cases) {
        const ParseResult r = ParseSlaveOptions({"--id", text});
        ASSERT_EQ(r.action, Action::Run) << text << ": " << r.error;
        EXPECT_EQ(r.options.ids, ids) << text;
    }
    EXPECT_EQ(ParseSlaveOptions({"--id", "1-255"}).options.ids.size(), 255u);
    EXPECT_EQ(ParseSlaveOptions({"--refuse", "43,17,43"}).options.refused,
              (std::vector<int>{43, 17}));
    const ParseResult named = ParseSlaveOptions(
        {"--vendor", "ACME Corp", "--product=PLC-9", "--revision", std::string(244, 'r')});
    ASSERT_EQ(named.action, Action::Run) << named.error;
    EXPECT_EQ(named.options.identity.vendor, "ACME Corp");
    EXPECT_EQ(named.options.identity.product, "PLC-9");
    EXPECT_EQ(named.options.identity.revision, std::string(244, 'r'));

    SlaveOptions o = ParseSlaveOptions({"--id", "3,17", "--wrong-id"}).options;
    EXPECT_EQ(AnswerAddress(o, 17, false), 18);
    EXPECT_EQ(AnswerAddress(o, 255, true), 1);
}

TEST(SlaveOptions, BadInputIsAnErrorWithAMessage) {
    const std::vector<std::vector<std::string>> bad = {
        {"--mode", "tcp"},
        {"--mode"},
        {"--id", "0"},
        {"--id", "256"},
        {"--id", "1x"},
        {"--id", ""},
        {"--id", "-1"},
        {"--id", "3,"},
        {"--id", "3,0"},
        {"--id", "3,256"},
        {"--id", "7-5"},
        {"--id", "5-"},
        {"--vendor", ""},
        {"--product"},
        {"--revision", std::string(245, 'r')},
        {"--vendor", "tab\there"},
        {"--product", "caf\xC3\xA9"},
        {"--baud", "0"},
        {"--baud", "fast"},
        {"--parity", "mark"},
        {"--data-bits", "6"},
        {"--data-bits", "9"},
        {"--stop-bits", "0"},
        {"--stop-bits", "3"},
        {"--size", "0"},
        {"--size", "65537"},
        {"--delay", "-5"},
        {"--corrupt", "0"},
        {"--corrupt"},
        {"--device"},
        {"--device", ""},
        {"--link="},
        {"--silent=yes"},
        {"--fault-plan"},
        {"--fault-plan", ""},
        {"--fault-plan", "..x"},
        {"--fault-plan", ". c"},
        {"--tcp", "65536"},
        {"--udp"},
        {"--tcp", "0", "--tcp", "1"},
        {"--rtu-tcp", "65536"},
        {"--idle-timeout", "0"},
        {"--tcp", "0", "--echo"},
        {"--send", "/tmp/s"},
        {"--bind", "::1"},
        {"--tcp", "0", "--bind="},
        {"--refuse", "0"},
        {"--refuse", "43,128"},
        {"--tap", "/tmp/x", "--link", "/tmp/x"},
        {"--fifo-size", "32"},
        {"--fifo-size", "-1"},
        {"--fifo-address", "65536"},
        {"--files", "65"},
        {"--records", "0"},
        {"--records", "10001"},
        {"--frobnicate"},
        {"extra"},
        {"-x"},
    };
    for (const auto& args : bad) {
        SCOPED_TRACE(args.front() + (args.size() > 1 ? " " + args[1] : ""));
        const ParseResult r = ParseSlaveOptions(args);
        EXPECT_EQ(r.action, Action::Error);
        EXPECT_FALSE(r.error.empty());
    }
}

TEST(SlaveOptions, HelpWinsWhereverItStands) {
    EXPECT_EQ(ParseSlaveOptions({"--help"}).action, Action::Help);
    EXPECT_EQ(ParseSlaveOptions({"--id", "3", "-h"}).action, Action::Help);
    const std::string usage = SlaveUsageText();
    for (const char* word :
         {"--mode",    "--id",     "--baud",       "--parity",    "--data-bits",    "--stop-bits",
          "--size",    "--silent", "--delay",      "--corrupt",   "--wrong-id",     "--log",
          "--device",  "--link",   "--fault-plan", "--help",      "HH:MM:SS.mmm",   "--tcp",
          "--udp",     "--bind",   "--tap",        "--fifo-size", "--fifo-address", "--files",
          "--records", "F000",     "f * 256"}) {
        EXPECT_NE(usage.find(word), std::string::npos) << word;
    }
}

TEST(SlaveOptions, RtuSilenceIsThreeAndAHalfCharactersWithAFloor) {
    SlaveOptions o;
    EXPECT_EQ(CharacterBits(o), 10);
    EXPECT_EQ(RtuSilence(o), 3645us);  // 3.5 x 10 bits at 9600 bit/s
    o.parity = Parity::Odd;
    o.stopBits = 2;
    EXPECT_EQ(CharacterBits(o), 12);
    o.baud = 1200;
    EXPECT_EQ(RtuSilence(o), 35000us);
    o = SlaveOptions{};
    o.baud = 19200;
    EXPECT_EQ(RtuSilence(o), 1822us);
    o.baud = 38400;
    EXPECT_EQ(RtuSilence(o), 1750us);
    o.baud = 115200;
    EXPECT_EQ(RtuSilence(o), 1750us);
}

TEST(SlaveOptions, WrongIdAlwaysDiffers) {
    SlaveOptions o;
    EXPECT_EQ(AnswerAddress(o, 1, false), 1);
    o.wrongId = true;
    for (int id = 1; id <= 255; ++id) {
        const int address = AnswerAddress(o, id, false);
        EXPECT_NE(address, id);
        EXPECT_GE(address, 1);
        EXPECT_LE(address, 255);
    }
}

TEST(SlaveOptions, FaultPlanGivesEachAnsweredRequestItsFaultThenNone) {
    const ParseResult r = ParseSlaveOptions({"--fault-plan=.csdw", "--delay", "80"});
    ASSERT_EQ(r.action, Action::Run) << r.error;
    CFaultPlan plan = r.options.faultPlan;
    EXPECT_EQ(plan.Size(), 5u);
    for (Fault want : {Fault::None, Fault::Corrupt, Fault::Silent, Fault::Delay, Fault::WrongId,
                       Fault::None, Fault::None}) {
        EXPECT_EQ(plan.Next(), want);
    }
    EXPECT_TRUE(ParseSlaveOptions({}).options.faultPlan.Empty());
    EXPECT_EQ(AnswerAddress(r.options, 1, true), 2);
    EXPECT_EQ(AnswerAddress(r.options, 1, false), 1);
}

TEST(SlaveOptions, AMasterIsHeardOnlyWithinTwoPercentOfTheRateAndAtTheSameStopBits) {
    const SlaveOptions o = ParseSlaveOptions({"--baud", "19200", "--stop-bits", "2"}).options;
    EXPECT_EQ(SettingsMismatch(o, {19584, 2}), "");
    EXPECT_EQ(SettingsMismatch(o, {18816, 2}), "");
    EXPECT_EQ(SettingsMismatch(o, {19585, 2}),
              "line settings differ: master at 19585 bit/s, 2 stop bits");
}

}  // namespace
}  // namespace slave
