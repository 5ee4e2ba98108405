#include "tools/slave/ControlCommand.h"

#include <gtest/gtest.h>

#include <string>

namespace slave {
namespace {

using Verb = ControlCommand::Verb;
using Kind = FaultSwitch::Kind;

struct GoodLine {
    const char* line;
    ControlCommand want;
};

ControlCommand Make(Verb verb, int unit = 0, std::string name = {}, std::string value = {}) {
    ControlCommand command;
    command.verb = verb;
    command.unit = unit;
    command.name = std::move(name);
    command.value = std::move(value);
    return command;
}

FaultSwitch Switch(Kind kind, std::string letters = {}, int delayMs = 0, std::string point = {},
                   int function = 0, int code = 0) {
    FaultSwitch fault;
    fault.kind = kind;
    fault.letters = std::move(letters);
    fault.delayMs = delayMs;
    fault.point = std::move(point);
    fault.function = function;
    fault.code = code;
    return fault;
}

ControlCommand MakeFault(int unit, FaultSwitch fault, std::optional<long> answers = {}) {
    ControlCommand command = Make(Verb::Fault, unit);
    command.fault = std::move(fault);
    command.answers = answers;
    return command;
}

TEST(ControlCommand, GoodLinesGiveTheirFields) {
    const GoodLine cases[] = {
        {"help", Make(Verb::Help)},
        {"  units\t", Make(Verb::Units)},
        {"reload", Make(Verb::Reload)},
        {"get 1 temp.in-1_A", Make(Verb::Get, 1, "temp.in-1_A")},
        {"set 247 mode  on and off \t", Make(Verb::Set, 247, "mode", "on and off")},
        {"set 3 x 007", Make(Verb::Set, 3, "x", "007")},
        {"dump 17", Make(Verb::Dump, 17)},
        {"clear 2", Make(Verb::Clear, 2)},
        {"fault 1 silent", MakeFault(1, Switch(Kind::Silent))},
        {"fault 1 corrupt for 1000000", MakeFault(1, Switch(Kind::Corrupt), 1000000)},
        {"fault 5 wrong-id for 3", MakeFault(5, Switch(Kind::WrongId), 3)},
        {"fault 1 letters .csdw", MakeFault(1, Switch(Kind::Letters, ".csdw"))},
        {"fault 1 delay 60000 for 1", MakeFault(1, Switch(Kind::Delay, "", 60000), 1)},
        {"fault 1 delay 0", MakeFault(1, Switch(Kind::Delay, "", 0))},
        {"fault 9 stuck for for 2", MakeFault(9, Switch(Kind::Stuck, "", 0, "for"), 2)},
        {"fault 1 exception 127 255", MakeFault(1, Switch(Kind::Exception, "", 0, "", 127, 255))},
        {"fault 1 exception 3 2 for 4", MakeFault(1, Switch(Kind::Exception, "", 0, "", 3, 2), 4)},
    };
    for (const GoodLine& c : cases) {
        std::string why;
        const auto got = ParseControlCommand(c.line, why);
        ASSERT_TRUE(got.has_value()) << c.line << ": " << why;
        EXPECT_EQ(got->verb, c.want.verb) << c.line;
        EXPECT_EQ(got->unit, c.want.unit) << c.line;
        EXPECT_EQ(got->name, c.want.name) << c.line;
        EXPECT_EQ(got->value, c.want.value) << c.line;
        EXPECT_EQ(got->answers, c.want.answers) << c.line;
        if (c.want.verb == Verb::Fault) {
            EXPECT_EQ(got->fault.kind, c.want.fault.kind) << c.line;
            EXPECT_EQ(got->fault.letters, c.want.fault.letters) << c.line;
            EXPECT_EQ(got->fault.delayMs, c.want.fault.delayMs) << c.line;
            EXPECT_EQ(got->fault.point, c.want.fault.point) << c.line;
            EXPECT_EQ(got->fault.function, c.want.fault.function) << c.line;
            EXPECT_EQ(got->fault.code, c.want.fault.code) << c.line;
        }
    }
}

TEST(ControlCommand, BadLinesSayWhy) {
    const std::string longWord(100, 'z');
    const std::string faults =
        "fault needs UNIT and one of: letters LETTERS, delay MS, silent, corrupt, wrong-id, "
        "stuck NAME, exception FUNCTION CODE";
    const std::string letters =
        "letters must be 1 to 256 of . c s d w (none, bad check, silent, late, wrong id)";
    const std::string name = "point name must be 1 to 64 of A-Z a-z 0-9 _ . -";
    const struct {
        std::string line;
        std::string why;
    } cases[] = {
        {"", "empty command; 'help' lists the commands"},
        {" \t ", "empty command; 'help' lists the commands"},
        {"foo 1", "unknown command 'foo'; 'help' lists the commands"},
        {"HELP", "unknown command 'HELP'; 'help' lists the commands"},
        {longWord, "unknown command '" + longWord.substr(0, 64) + "'; 'help' lists the commands"},
        {"b\x01\x7f",
         "unknown command 'b?"
         "?'; 'help' lists the commands"},
        {"help me", "help takes no arguments"},
        {"reload now", "reload takes no arguments"},
        {"get 1", "get needs UNIT NAME"},
        {"get 1 a b", "get needs UNIT NAME"},
        {"get 0 a", "unit must be 1 to 247"},
        {"get 248 a", "unit must be 1 to 247"},
        {"get +1 a", "unit must be 1 to 247"},
        {"get 99999999999999999999 a", "unit must be 1 to 247"},
        {"get 1 a/b", name},
        {"get 1 " + std::string(65, 'n'), name},
        {"set 1 a", "set needs UNIT NAME VALUE"},
        {"set 1 a  \t", "set needs UNIT NAME VALUE"},
        {"dump", "dump needs UNIT"},
        {"clear x", "unit must be 1 to 247"},
        {"fault", faults},
        {"fault 1", faults},
        {"fault 1 noisy",
         "unknown fault 'noisy'; one of letters, delay, silent, corrupt, "
         "wrong-id, stuck, exception"},
        {"fault 1 letters", letters},
        {"fault 1 letters .x", letters},
        {"fault 1 letters " + std::string(257, 'c'), letters},
        {"fault 1 delay -1", "delay must be 0 to 60000 ms"},
        {"fault 1 delay 60001", "delay must be 0 to 60000 ms"},
        {"fault 1 stuck", "stuck needs NAME"},
        {"fault 1 stuck a:b", name},
        {"fault 1 exception 3", "exception needs FUNCTION CODE"},
        {"fault 1 exception 128 2", "function must be 1 to 127"},
        {"fault 1 exception 0 2", "function must be 1 to 127"},
        {"fault 1 exception 3 256", "exception code must be 1 to 255"},
        {"fault 1 silent for 0", "for must be 1 to 1000000 answers"},
        {"fault 1 silent for 1000001", "for must be 1 to 1000000 answers"},
        {"fault 1 silent for", "after the fault only 'for N' may follow"},
        {"fault 1 silent 3", "after the fault only 'for N' may follow"},
        {"fault 1 stuck for 3", "after the fault only 'for N' may follow"},
    };
    for (const auto& c : cases) {
        std::string why;
        EXPECT_FALSE(ParseControlCommand(c.line, why).has_value()) << c.line;
        EXPECT_EQ(why, c.why) << c.line;
    }
}

TEST(ControlCommand, HelpIsOneOkLineNamingEveryCommand) {
    const std::string help = ControlHelpText();
    EXPECT_EQ(help.rfind("ok commands: ", 0), 0u);
    EXPECT_EQ(help.find('\n'), std::string::npos);
    for (const char* word :
         {"help", "units", "get UNIT NAME", "set UNIT NAME VALUE", "dump UNIT", "letters LETTERS",
          "delay MS", "silent", "corrupt", "wrong-id", "stuck NAME", "exception FUNCTION CODE",
          "[for N]", "clear UNIT", "reload"}) {
        EXPECT_NE(help.find(word), std::string::npos) << word;
    }
}

}  // namespace
}  // namespace slave
